#!/usr/bin/env bash
# Renders the alert (messages 0, 1, 6) and the error dialog (messages 8, 10)
# of every catalogue record on a private Xvfb server and saves each window as
# out/screenshots/<index>-<code>-m<message>.png. Builds vantor-screenshots in
# build/default first unless BUILD_DIR names another build directory.
#   tools/screenshots.sh [record ...]     (default: all 17 records)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$here/build/default}
out=$here/out/screenshots
codes=(de en es fr it ja ko pt ru zh-Hans zh-Hant cs nl pl sv tr fallback)

if [ ! -f "$build/build.ninja" ]; then cmake --preset default -S "$here" >/dev/null; fi
cmake --build "$build" --target vantor-screenshots >/dev/null
tool=$build/tools/vantor-screenshots

mkdir -p "$out"
exec 3< <(Xvfb -displayfd 1 -nolisten tcp -screen 0 1280x800x24 2>/dev/null)
xvfb_pid=$!
read -r -t 15 number <&3 || { echo "screenshots: Xvfb did not start" >&2; exit 1; }
export DISPLAY=:$number
unset WAYLAND_DISPLAY QT_QPA_PLATFORM
XDG_RUNTIME_DIR=$(mktemp -d)
export XDG_RUNTIME_DIR
trap 'kill $xvfb_pid 2>/dev/null || true; rm -rf "$XDG_RUNTIME_DIR"' EXIT

records=("$@")
[ ${#records[@]} -gt 0 ] || records=($(seq 0 16))
count=0
for r in "${records[@]}"; do
  for m in 0 1 6 8 10; do
    "$tool" "$r" "$m" &
    pid=$!
    win=$(timeout 20 xdotool search --sync --onlyvisible --name '^Install Sample$' | head -n1)
    sleep 0.3  # let the first paint finish
    file=$out/$(printf '%02d' "$r")-${codes[$r]}-m$m.png
    import -window "$win" "$file"
    xdotool windowfocus --sync "$win" key Return
    wait "$pid"
    count=$((count + 1))
  done
done
echo "screenshots: $count files in $out"

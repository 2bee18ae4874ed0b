#!/usr/bin/env bash
# Start-up cost of the launcher against a bare C host of the same runtime.
#
# Both run in one emulated-Mac root (bubblewrap; the runtime must sit at the
# literal /Library/Frameworks path, which is never created on the host) and
# hand over to the same runtime executable, whose entry returns at once:
#   launcher   /Applications/Sample.app/Contents/MacOS/Sample (the launcher,
#              with its alert part beside it, as installed)
#   C host     bench/dlopen_host.c: dlopen of the same library and one call
# hyperfine times both side by side inside the root (the sandbox is set up
# once, outside the timings), in several alternating rounds so that a change
# of load on a shared machine falls on both alike; the script prints the
# medians over all runs and their ratio.
#
# Usage: bench/launcher.sh [build dir]   (default build/default; it must hold
#        the targets launcher, launcher_alert and sample_runtime_exit0)
#   RUNS=n    runs per command and round (default 300)
#   ROUNDS=n  alternating rounds (default 5)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$here/build/default}" && pwd)
runs=${RUNS:-300}
rounds=${ROUNDS:-5}

launcher="$build/launcher/launcher"
alert="$build/launcher/libvantor-launcher-alert.so"
runtime="$build/sample-runtime/framework-variants/libsample_runtime_exit0.so"
for f in "$launcher" "$alert" "$runtime"; do
  [ -f "$f" ] || { echo "launcher.sh: $f is missing; build the launcher, launcher_alert and sample_runtime_exit0 targets" >&2; exit 2; }
done
command -v hyperfine >/dev/null || { echo "launcher.sh: hyperfine is missing (tools/setup.sh installs it)" >&2; exit 2; }
command -v bwrap >/dev/null || { echo "launcher.sh: bwrap is missing (tools/setup.sh installs it)" >&2; exit 2; }

scratch=$(mktemp -d /tmp/vantor-bench-XXXXXX)
trap 'rm -rf "$scratch"' EXIT

fw="$scratch/Library/Frameworks/Brenmoor Vantor.framework"
mkdir -p "$fw/Versions/1.0/Resources" "$scratch/Applications/Sample.app/Contents/MacOS" "$scratch/bin"
cp "$runtime" "$fw/Versions/1.0/Brenmoor Vantor_64"
printf '<?xml version="1.0" encoding="UTF-8"?>\n<plist version="1.0"><dict><key>CFBundleVersion</key><string>3.0.0.0</string></dict></plist>\n' \
  > "$fw/Versions/1.0/Resources/Info.plist"
cp "$launcher" "$scratch/Applications/Sample.app/Contents/MacOS/Sample"
cp "$alert" "$scratch/Applications/Sample.app/Contents/MacOS/"
cc -O2 -rdynamic -o "$scratch/bin/dlopen-host" "$here/bench/dlopen_host.c" -ldl

app=/Applications/Sample.app/Contents/MacOS/Sample
host="/opt/bench/dlopen-host '/Library/Frameworks/Brenmoor Vantor.framework/Versions/1.0/Brenmoor Vantor_64'"

# The root: the host's system read-only, the fixture at the literal paths.
sandbox=(bwrap --die-with-parent --unshare-pid --ro-bind /usr /usr --ro-bind /etc /etc
  --dev /dev --proc /proc --tmpfs /tmp
  --bind "$scratch/Library" /Library --bind "$scratch/Applications" /Applications
  --ro-bind "$scratch/bin" /opt/bench --bind "$scratch" /results)
for d in /bin /lib /lib64 /sbin; do
  if [ -L "$d" ]; then sandbox+=(--symlink "$(readlink "$d")" "$d"); elif [ -d "$d" ]; then sandbox+=(--ro-bind "$d" "$d"); fi
done

# Both must succeed before they are timed.
"${sandbox[@]}" "$app" || { echo "launcher.sh: the launcher did not hand over (status $?)" >&2; exit 1; }
"${sandbox[@]}" sh -c "$host" || { echo "launcher.sh: the C host failed (status $?)" >&2; exit 1; }

for round in $(seq 1 "$rounds"); do
  # Which command goes first alternates from round to round.
  if [ $((round % 2)) -eq 1 ]; then order=(-n launcher "$app" -n "C host" "$host")
  else order=(-n "C host" "$host" -n launcher "$app"); fi
  "${sandbox[@]}" hyperfine -N --style none --warmup 30 --runs "$runs" \
    --export-json "/results/times-$round.json" "${order[@]}" >/dev/null 2>>"$scratch/hyperfine.log" \
    || { cat "$scratch/hyperfine.log" >&2; exit 1; }
done

python3 - "$scratch"/times-*.json <<'PY'
import json, statistics, sys
times = {"launcher": [], "C host": []}
for path in sys.argv[1:]:
    for r in json.load(open(path))["results"]:
        times[r["command"]] += r["times"]
launcher = statistics.median(times["launcher"])
host = statistics.median(times["C host"])
print(f"runs per command: {len(times['launcher'])}")
print(f"launcher median {launcher * 1000:.3f} ms")
print(f"C host   median {host * 1000:.3f} ms")
print(f"ratio launcher / C host: {launcher / host:.2f}")
PY

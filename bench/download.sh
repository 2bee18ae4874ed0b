#!/usr/bin/env bash
# Download speed and memory: one large file over loopback HTTPS from the
# demo download server, fetched through the Downloader (vantor-download-probe,
# the same code path as the bootstrapper, progress and file writing included)
# and through curl, side by side in one run. Prints the throughput of each,
# their ratio and the peak resident memory (RSS) of both: the Downloader's
# must stay flat however large the file, since it streams to disk.
#
#   bench/download.sh [build-dir] [size-in-MiB] [runs]
#
# build-dir defaults to build/default (vantor-download-probe and
# vantor-download-server must be built there), size to 512 MiB (at least
# 256), runs to 3 (the median of each is shown).
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-"$here/build/default"}
size_mib=${2:-512}
runs=${3:-3}
probe="$build/bootstrapper/vantor-download-probe"
server="$build/sample-runtime/vantor-download-server"
ca="$here/demo-pki/DEMO-KEYS-tls-ca.cert.pem"
for p in "$probe" "$server"; do
  [ -x "$p" ] || { echo "download.sh: build $(basename "$p") in $build first" >&2; exit 1; }
done
[ -x /usr/bin/time ] || { echo "download.sh: needs /usr/bin/time (Debian package time)" >&2; exit 1; }
command -v curl >/dev/null || { echo "download.sh: needs curl" >&2; exit 1; }
[ "$size_mib" -ge 256 ] || { echo "download.sh: use at least 256 MiB" >&2; exit 1; }

work=$(mktemp -d)
server_pid=
cleanup() {
  [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
mkdir -p "$work/root" "$work/tmp"

# A free port, then the server on it; /generated makes the bytes on the fly,
# so the disk holds only what the clients write.
port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
"$server" --root "$work/root" --port "$port" >/dev/null 2>"$work/server.err" &
server_pid=$!
for _ in $(seq 50); do
  curl -s -o /dev/null --cacert "$ca" "https://localhost:$port/generated/1" && break
  sleep 0.1
done
bytes=$((size_mib * 1024 * 1024))
url="https://localhost:$port/generated/$bytes/payload"

# Prints "<seconds> <peak RSS KiB>" of one command.
measure() {
  /usr/bin/time -f "%e %M" -o "$work/time" "$@" >"$work/out" 2>"$work/err" ||
    { echo "download.sh: failed: $*" >&2; cat "$work/err" >&2; exit 1; }
  cat "$work/time"
}

median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }

: >"$work/dl"
: >"$work/curl"
for run in $(seq "$runs"); do
  # The probe removes its file when done (cleanupTempFiles), as the
  # bootstrapper does; curl's file is removed here.
  TMPDIR="$work/tmp" measure "$probe" --ca "$ca" --wait-seconds 600 InstallerDownloadDone "$url" >>"$work/dl"
  grep -q '^success=1$' "$work/out" || { echo "download.sh: the Downloader failed" >&2; cat "$work/out" >&2; exit 1; }
  measure curl -s --fail --cacert "$ca" -o "$work/tmp/curl-payload" "$url" >>"$work/curl"
  size=$(stat -c %s "$work/tmp/curl-payload")
  [ "$size" -eq "$bytes" ] || { echo "download.sh: curl got $size bytes" >&2; exit 1; }
  rm -f "$work/tmp/curl-payload"
done

dl_s=$(cut -d' ' -f1 "$work/dl" | median)
dl_kb=$(cut -d' ' -f2 "$work/dl" | median)
curl_s=$(cut -d' ' -f1 "$work/curl" | median)
curl_kb=$(cut -d' ' -f2 "$work/curl" | median)

awk -v mib="$size_mib" -v ds="$dl_s" -v dk="$dl_kb" -v cs="$curl_s" -v ck="$curl_kb" -v runs="$runs" 'BEGIN {
  dt = (ds > 0) ? mib / ds : 0; ct = (cs > 0) ? mib / cs : 0;
  printf "download.sh: %d MiB over loopback HTTPS, median of %d runs\n", mib, runs;
  printf "  %-12s %8.2f s %9.1f MiB/s   peak RSS %7.1f MiB\n", "Downloader", ds, dt, dk / 1024;
  printf "  %-12s %8.2f s %9.1f MiB/s   peak RSS %7.1f MiB\n", "curl", cs, ct, ck / 1024;
  printf "  throughput ratio Downloader/curl: %.2f\n", (ct > 0) ? dt / ct : 0;
  printf "  peak RSS ratio Downloader/curl:   %.2f\n", (ck > 0) ? dk / ck : 0;
}'

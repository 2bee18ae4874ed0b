#!/usr/bin/env bash
# Download speed and memory: large files over loopback HTTPS from the demo
# download server, fetched through the Downloader (vantor-download-probe, the
# same code path as the bootstrapper, progress and file writing included) and
# through curl, side by side in one run (the two alternate, so both see the
# same load). Both fetch the same bytes from the same server over the same
# TLS and write them to a file in the same folder.
#
# Per size it prints, for each client, the median transfer throughput, the
# median whole-process throughput and the highest peak resident memory (RSS)
# of all runs, then the ratios Downloader/curl. The Downloader's RSS must stay
# flat however large the file, since it streams to disk.
#
#   transfer: from the request to the complete file, as each client reports
#             it (curl's time_total, the probe's seconds= line): what the
#             throughput goal is about.
#   process:  the whole command, start-up included (the probe starts an
#             application object and reads the system trust store, curl reads
#             one authority file): shown so nothing is hidden.
#
#   bench/download.sh [build-dir] [sizes-in-MiB] [runs]
#
# build-dir defaults to build/default (vantor-download-probe and
# vantor-download-server must be built there), sizes to "256 1024" (each at
# least 256; quote a list), runs to 5 per size.
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-"$here/build/default"}
sizes=${2:-"256 1024"}
runs=${3:-5}
probe="$build/bootstrapper/vantor-download-probe"
server="$build/sample-runtime/vantor-download-server"
ca="$here/demo-pki/DEMO-KEYS-tls-ca.cert.pem"
for p in "$probe" "$server"; do
  [ -x "$p" ] || { echo "download.sh: build $(basename "$p") in $build first" >&2; exit 1; }
done
[ -x /usr/bin/time ] || { echo "download.sh: needs /usr/bin/time (Debian package time)" >&2; exit 1; }
command -v curl >/dev/null || { echo "download.sh: needs curl" >&2; exit 1; }
for s in $sizes; do
  [ "$s" -ge 256 ] 2>/dev/null || { echo "download.sh: sizes of at least 256 MiB" >&2; exit 1; }
done

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

# Runs one command; appends "<transfer s> <process s> <peak RSS KiB>" to $1.
# The command's standard output is in $work/out.
measure() {
  local into=$1
  shift
  /usr/bin/time -f "%e %M" -o "$work/time" "$@" >"$work/out" 2>"$work/err" ||
    { echo "download.sh: failed: $*" >&2; cat "$work/err" >&2; exit 1; }
  local transfer
  transfer=$(sed -n 's/^seconds=//p; s/^time_total=//p' "$work/out" | head -1)
  [ -n "$transfer" ] || { echo "download.sh: no transfer time from: $*" >&2; cat "$work/out" >&2; exit 1; }
  echo "$transfer $(cat "$work/time")" >>"$into"
}

median() { sort -g | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
column_median() { cut -d' ' -f"$2" "$1" | median; }
column_max() { cut -d' ' -f"$2" "$1" | sort -g | tail -1; }
column_range() { cut -d' ' -f"$2" "$1" | sort -g | awk 'NR==1{lo=$1} {hi=$1} END {printf "%.2f-%.2f", lo, hi}'; }

echo "download.sh: loopback HTTPS, $runs runs per size, medians (range); load average $(cut -d' ' -f1-3 /proc/loadavg)"
for size_mib in $sizes; do
  bytes=$((size_mib * 1024 * 1024))
  url="https://localhost:$port/generated/$bytes/payload"
  : >"$work/dl"
  : >"$work/curl"
  for run in $(seq "$runs"); do
    # The probe removes its file when done (cleanupTempFiles), as the
    # bootstrapper does; curl's file is removed here.
    TMPDIR="$work/tmp" measure "$work/dl" "$probe" --ca "$ca" --wait-seconds 600 --linger-seconds 0 \
      InstallerDownloadDone "$url"
    grep -q '^success=1$' "$work/out" || { echo "download.sh: the Downloader failed" >&2; cat "$work/out" >&2; exit 1; }
    measure "$work/curl" curl -s --fail --cacert "$ca" -o "$work/tmp/curl-payload" \
      -w 'time_total=%{time_total}\n' "$url"
    size=$(stat -c %s "$work/tmp/curl-payload")
    [ "$size" -eq "$bytes" ] || { echo "download.sh: curl got $size bytes" >&2; exit 1; }
    rm -f "$work/tmp/curl-payload"
  done

  awk -v mib="$size_mib" \
    -v dt="$(column_median "$work/dl" 1)" -v dtr="$(column_range "$work/dl" 1)" \
    -v dp="$(column_median "$work/dl" 2)" -v dk="$(column_max "$work/dl" 3)" \
    -v ct="$(column_median "$work/curl" 1)" -v ctr="$(column_range "$work/curl" 1)" \
    -v cp="$(column_median "$work/curl" 2)" -v ck="$(column_max "$work/curl" 3)" 'BEGIN {
    printf "%d MiB\n", mib;
    printf "  %-10s transfer %6.1f MiB/s (%s s)  process %6.1f MiB/s  peak RSS %6.1f MiB\n",
           "Downloader", mib / dt, dtr, mib / dp, dk / 1024;
    printf "  %-10s transfer %6.1f MiB/s (%s s)  process %6.1f MiB/s  peak RSS %6.1f MiB\n",
           "curl", mib / ct, ctr, mib / cp, ck / 1024;
    printf "  ratio Downloader/curl: transfer throughput %.2f  process throughput %.2f  peak RSS %.2f\n",
           ct / dt, cp / dp, dk / ck;
  }'
done

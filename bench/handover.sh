#!/usr/bin/env bash
# The bootstrapper's hand-over path against starting the runtime's
# Application Installer directly, on the same application package of about
# 50 MiB, the install's own work included.
#
# One root, assembled once with bubblewrap (the programs use their literal
# paths, nothing is created at the host's /), holds:
#   /Library/Frameworks/Brenmoor Vantor.framework   the sample runtime of the
#        build (with its Application Installer), its bundle version set to a
#        2.x release so the bootstrapper hands over to it
#   /Applications/Install Sample.app                made by tools/make-bundle
#        around a package of generated files (a few large, many small)
#   /Users/bench                                    the home; the installed
#        app goes to its Applications folder
#   /dev/log                                        a socket this script
#        drains, so the bootstrapper's log records really go somewhere
# The two commands, with the same arguments and the same environment:
#   hand-over  "Install Sample.app/Contents/MacOS/Install Sample" -silent -eulaAccepted
#   direct     ".../Brenmoor Vantor Application Installer" -silent -eulaAccepted
#              "/Applications/Install Sample.app/Contents/Resources/Sample"
# Each run is a real install (the Application Installer copies the package
# into /Users/bench/Applications/Sample.app); the installed app is removed
# before every command (outside the timing) so both sides do the same work.
# bench/handover_runs.py times the commands interleaved: every run starts
# each command once, in an order that rotates, so neighbouring runs of the
# two see the same load on a shared machine. The script prints the median of
# the runs' ratios with its quartiles, and the ratio of the medians.
#
# To say where the difference goes it also times three empty programs
# (bench/empty_main.c): one linked against exactly the shared libraries the
# bootstrapper needs, one against Qt Core alone, one bare. Their differences
# are what loading those libraries costs at every start, before any of the
# bootstrapper's own code runs.
#
# Usage: bench/handover.sh [build dir] [package MiB] [runs]
#   build dir    default build/default; it must hold the targets bootstrapper
#                and sample_runtime_framework
#   package MiB  default 50
#   runs         interleaved runs, default 60 (3 more warm up first)
#   DISPLAY      passed into the root when set (both commands then see the
#                display, as a start from the file manager does)
# Exits 2 when a build product or a tool is missing, 1 when a command fails.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$here/build/default}" 2>/dev/null && pwd) ||
  { echo "handover.sh: no build folder ${1:-$here/build/default}" >&2; exit 2; }
size_mib=${2:-50}
runs=${3:-60}

bootstrapper="$build/bootstrapper/bootstrapper"
framework="$build/sample-runtime/runtime/Brenmoor Vantor.framework"
installer_rel="Versions/1.0/Brenmoor Vantor Application Installer.app/Contents/MacOS/Brenmoor Vantor Application Installer"
[ -x "$bootstrapper" ] ||
  { echo "handover.sh: $bootstrapper is missing; build the bootstrapper target" >&2; exit 2; }
[ -x "$framework/$installer_rel" ] ||
  { echo "handover.sh: $framework with its Application Installer is missing; build the sample_runtime_framework target" >&2; exit 2; }
for tool in bwrap python3 cc readelf; do
  command -v "$tool" >/dev/null || { echo "handover.sh: $tool is missing (tools/setup.sh installs it)" >&2; exit 2; }
done

scratch=$(mktemp -d /tmp/vantor-handover-XXXXXX)
sink_pid=
cleanup() {
  [ -z "$sink_pid" ] || kill "$sink_pid" 2>/dev/null || true
  rm -rf "$scratch"
}
trap cleanup EXIT

# ---- the fixture ---------------------------------------------------------------
mkdir -p "$scratch/Library/Frameworks" "$scratch/Applications" "$scratch/Users/bench/Applications" \
  "$scratch/System/Library/CoreServices" "$scratch/packages"
cp -a "$framework" "$scratch/Library/Frameworks/"
fw_info="$scratch/Library/Frameworks/Brenmoor Vantor.framework/Versions/1.0/Resources/Info.plist"
python3 - "$fw_info" <<'PY'
import re, sys
path = sys.argv[1]
text = open(path).read()
text, n = re.subn(r"(<key>CFBundleVersion</key>\s*<string>)[^<]*(</string>)", r"\g<1>2.5.0.0\g<2>", text)
if n != 1:
    sys.exit("handover.sh: no CFBundleVersion in the framework's Info.plist")
open(path, "w").write(text)
PY
# The system's version file, as a Mac has it: the hand-over path has no use
# for it, and if it ever read it, that cost would show here.
cat > "$scratch/System/Library/CoreServices/SystemVersion.plist" <<'PLIST'
<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0"><dict><key>ProductName</key><string>Mac OS X</string><key>ProductVersion</key><string>10.9.5</string></dict></plist>
PLIST

# The package: a few large files (libraries, media) and many small ones
# (resources), about half the bytes each, of random content so no layer can
# take a short cut on it.
python3 - "$scratch/packages/Sample" "$size_mib" <<'PY'
import os, sys
root, mib = sys.argv[1], int(sys.argv[2])
total = mib * 1024 * 1024
os.makedirs(root)
with open(os.path.join(root, "Info.plist"), "w") as f:
    f.write('<?xml version="1.0" encoding="UTF-8"?>\n<plist version="1.0"><dict>'
            '<key>CFBundleIdentifier</key><string>com.example.sample</string>'
            '<key>CFBundleVersion</key><string>1.0</string></dict></plist>\n')
large = total // 2
big = 2 * 1024 * 1024
os.makedirs(os.path.join(root, "lib"))
n = 0
while large > 0:
    size = min(big, large)
    with open(os.path.join(root, "lib", f"part{n:02d}.bin"), "wb") as f:
        f.write(os.urandom(size))
    large -= size
    n += 1
small = total - total // 2
each = 16 * 1024
i = 0
while small > 0:
    d = os.path.join(root, "resources", f"group{i // 40:02d}")
    os.makedirs(d, exist_ok=True)
    size = min(each, small)
    with open(os.path.join(d, f"item{i:04d}.dat"), "wb") as f:
        f.write(os.urandom(size))
    small -= size
    i += 1
print(f"package: {n} large and {i} small files, {mib} MiB", file=sys.stderr)
PY
"$here/tools/make-bundle" --bootstrapper "$bootstrapper" --package "$scratch/packages/Sample" \
  --output "$scratch/Applications" >/dev/null
rm -rf "$scratch/packages"

# The system log: a datagram socket drained for the whole run.
python3 - "$scratch/log" <<'PY' &
import os, socket, sys
s = socket.socket(socket.AF_UNIX, socket.SOCK_DGRAM)
s.bind(sys.argv[1])
os.chmod(sys.argv[1], 0o666)
with open(sys.argv[1] + ".records", "wb", buffering=0) as out:
    while True:
        out.write(s.recv(65536) + b"\n")
PY
sink_pid=$!
for _ in $(seq 50); do [ -S "$scratch/log" ] && break; sleep 0.1; done
[ -S "$scratch/log" ] || { echo "handover.sh: the log socket did not come up" >&2; exit 1; }

# Empty programs for the breakdown: one linked against exactly the shared
# libraries the bootstrapper needs, one against Qt Core alone, one bare.
mkdir -p "$scratch/bin"
needed=$(readelf -d "$bootstrapper" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p' | grep -v -e '^libc\.so' -e '^ld-linux')
[ -n "$needed" ] || { echo "handover.sh: cannot read the libraries $bootstrapper needs (readelf)" >&2; exit 2; }
link=()
for lib in $needed; do link+=("-l:$lib"); done
cc -O2 -o "$scratch/bin/empty-bare" "$here/bench/empty_main.c"
cc -O2 -o "$scratch/bin/empty-qtcore" "$here/bench/empty_main.c" -Wl,--no-as-needed -l:libQt6Core.so.6
cc -O2 -o "$scratch/bin/empty-bootstrapper-libraries" "$here/bench/empty_main.c" -Wl,--no-as-needed "${link[@]}"

# ---- the root --------------------------------------------------------------------
envs=(PATH=/usr/bin:/bin HOME=/Users/bench USER=bench LOGNAME=bench)
# With a display, a desktop session's private runtime folder too (the
# toolkit complains on standard error without one).
[ -z "${DISPLAY:-}" ] || envs+=("DISPLAY=$DISPLAY" "XDG_RUNTIME_DIR=/run/user/$(id -u)")
sandbox=(bwrap --die-with-parent --unshare-pid --ro-bind /usr /usr --ro-bind /etc /etc
  --dev /dev --proc /proc --tmpfs /tmp
  --bind "$scratch/Library" /Library --bind "$scratch/Applications" /Applications
  --bind "$scratch/Users" /Users --ro-bind "$scratch/System" /System
  --bind "$scratch/log" /dev/log --ro-bind "$scratch/bin" /opt/bench --bind "$scratch" /results)
[ -z "${DISPLAY:-}" ] || sandbox+=(--ro-bind /tmp/.X11-unix /tmp/.X11-unix --perms 0700 --dir "/run/user/$(id -u)")
for d in /bin /lib /lib64 /sbin; do
  if [ -L "$d" ]; then sandbox+=(--symlink "$(readlink "$d")" "$d"); elif [ -d "$d" ]; then sandbox+=(--ro-bind "$d" "$d"); fi
done
sandbox+=(env -i "${envs[@]}")

bundle_exe="/Applications/Install Sample.app/Contents/MacOS/Install Sample"
package="/Applications/Install Sample.app/Contents/Resources/Sample"
installer="/Library/Frameworks/Brenmoor Vantor.framework/$installer_rel"
installed=/Users/bench/Applications/Sample.app
bare=/opt/bench/empty-bare
core=/opt/bench/empty-qtcore
libs=/opt/bench/empty-bootstrapper-libraries
json_argv() { python3 -c 'import json, sys; print(json.dumps(sys.argv[1:]))' "$@"; }

# Both must install before they are timed.
# shellcheck disable=SC2016  # the inner shell expands $0 and $@
for cmd in hand-over direct; do
  if [ "$cmd" = hand-over ]; then argv=("$bundle_exe" -silent -eulaAccepted)
  else argv=("$installer" -silent -eulaAccepted "$package"); fi
  "${sandbox[@]}" sh -c 'rm -rf "$0" && "$@" >/results/first.out 2>&1 && test -x "$0/Contents/MacOS/Sample"' \
    "$installed" "${argv[@]}" ||
    { echo "handover.sh: no install from the $cmd command: ${argv[*]}" >&2; cat "$scratch/first.out" >&2; exit 1; }
done
grep -q "Subprocess Application Installer succeeded" "$scratch/log.records" ||
  { echo "handover.sh: the bootstrapper did not hand over (log: $(cat "$scratch/log.records"))" >&2; exit 1; }

cp "$here/bench/handover_runs.py" "$scratch/bin/"
"${sandbox[@]}" python3 /opt/bench/handover_runs.py /results/times.json "$runs" 3 "$installed" \
  "hand-over=$(json_argv "$bundle_exe" -silent -eulaAccepted)" \
  "direct=$(json_argv "$installer" -silent -eulaAccepted "$package")" \
  "libraries=$(json_argv "$libs")" "qtcore=$(json_argv "$core")" "bare=$(json_argv "$bare")" || exit 1

python3 - "$size_mib" "$scratch/times.json" <<'PY'
import json, os, statistics, sys
size, data = sys.argv[1], json.load(open(sys.argv[2]))
def summary(runs, label):
    def col(f):
        return sorted(f(r) for r in runs)
    def med(f):
        return statistics.median(col(f))
    def quart(f):
        v = col(f)
        return v[len(v) // 4], v[(3 * len(v)) // 4]
    ratio = lambda r: r["hand-over"] / r["direct"]
    direct = med(lambda r: r["direct"])
    print(f"{label}:")
    for name in ("hand-over", "direct"):
        lo, hi = quart(lambda r: r[name])
        print(f"  {name:9} median {med(lambda r: r[name]) * 1000:6.1f} ms, quartiles {lo * 1000:.1f}..{hi * 1000:.1f} ms")
    lo, hi = quart(ratio)
    print(f"  ratio hand-over / direct: {med(ratio):.3f}  (median of the runs' ratios, quartiles {lo:.3f}..{hi:.3f};"
          f" ratio of the medians {med(lambda r: r['hand-over']) / direct:.3f})")
    extra = med(lambda r: r["hand-over"] - r["direct"]) / direct
    loading = med(lambda r: r["libraries"] - r["bare"]) / direct
    qtcore = med(lambda r: r["qtcore"] - r["bare"]) / direct
    print(f"  extra time of the hand-over, share of the direct start: {extra:.3f}, of which loading the"
          f" bootstrapper's shared libraries {loading:.3f} (Qt Core alone would be {qtcore:.3f})")
print(f"package {size} MiB; {len(data['runs'])} interleaved runs; load average {os.getloadavg()[0]:.2f} (2 cores shared)")
summary(data["runs"], "time")
summary(data["cpu"], "processor time (user + system, with the child installer)")
print("goal: the time ratio at most 1.05")
PY

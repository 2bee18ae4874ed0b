#!/usr/bin/env bash
# The demo: installs "Install Sample.app" in the emulated Mac, with no
# runtime present, against the demo download server, and then starts the
# installed app on the freshly installed runtime.
#
#   tools/demo.sh [--no-setup] [--keep]
#
# Steps: tools/setup.sh (installs missing Debian packages; skipped with
# --no-setup), the default build (cmake --preset default, build/default, only
# the demo's targets), then build/default/tools/vantor-demo, which prints
# every step with the log records and ends with the exit codes. When DISPLAY
# is set the progress window shows on that display. --keep leaves the
# emulated Mac's folder in place. Exits with the demo's status (0 when every
# step ended as expected).
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
setup=1
demo_args=()
for a in "$@"; do
  case "$a" in
    --no-setup) setup=0 ;;
    --keep) demo_args+=(--keep) ;;
    -h|--help) sed -n '2,15p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "demo: unknown option $a (see --help)" >&2; exit 2 ;;
  esac
done

cd "$here"
if [ "$setup" = 1 ]; then
  echo "==> tools/setup.sh"
  tools/setup.sh
fi

echo "==> Building (cmake --preset default)"
if [ ! -f build/default/build.ninja ]; then
  cmake --preset default
fi
# Two jobs: the build machines this runs on are small and shared.
cmake --build build/default --target vantor-demo -- -j"${VANTOR_BUILD_JOBS:-2}"

# The emulated Mac needs namespaces; as root that is always possible, as a
# user only where unprivileged user namespaces are allowed (vantor-demo says
# so when they are not).
exec build/default/tools/vantor-demo "${demo_args[@]}"

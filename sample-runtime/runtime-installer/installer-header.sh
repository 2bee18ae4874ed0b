#!/bin/sh
# Sample runtime installer: one self-contained file, the framework payload (a
# gzip-compressed tar of "Brenmoor Vantor.framework") appended after the
# marker line at the end of this script. The bootstrapper downloads it,
# checks its detached signature and runs it as
#
#   installer [options...] <package directory>      (options "-x1" when none)
#
# It installs the framework into /Library/Frameworks (replacing an older
# one, as an update does), then hands the package, with the options it got
# minus "-x1", to the Application Installer that the framework carries, and
# ends with that installer's status. It prints each step on standard error
# so that the person who started the bootstrapper sees what happened.
#
# MODE is set when the file is assembled: "install" (the real thing), or, for
# tests of the bootstrapper's endings, "exit0" (succeeds without installing)
# and "exit7" (fails with 7 without installing).
MODE=@MODE@
FRAMEWORKS=/Library/Frameworks
FRAMEWORK="$FRAMEWORKS/Brenmoor Vantor.framework"
APP_INSTALLER="$FRAMEWORK/Versions/1.0/Brenmoor Vantor Application Installer.app/Contents/MacOS/Brenmoor Vantor Application Installer"

say() { echo "runtime installer: $*" >&2; }

say "started with $# argument(s): $*"
case "$MODE" in
  exit0) say "test variant: exiting 0 without installing"; exit 0 ;;
  exit7) say "test variant: exiting 7 without installing"; exit 7 ;;
esac

if [ $# -lt 1 ]; then
  say "usage: installer [options...] <package directory>"
  exit 2
fi

# The last argument is the package; everything before it is passed on, but
# "-x1" only tells this installer that no options were given.
package=
count=$#
i=0
for arg in "$@"; do
  i=$((i + 1))
  if [ "$i" -eq 1 ]; then set --; fi
  if [ "$i" -eq "$count" ]; then
    package=$arg
  elif [ "$arg" != "-x1" ]; then
    set -- "$@" "$arg"
  fi
done

# The payload starts on the line after the marker; awk finds it so the header
# can change without a line count to keep in step.
start=$(awk '/^__VANTOR_RUNTIME_PAYLOAD__$/ { print NR + 1; exit }' "$0")
if [ -z "$start" ]; then
  say "the framework payload is missing from $0"
  exit 1
fi

mkdir -p "$FRAMEWORKS" || { say "cannot create $FRAMEWORKS"; exit 1; }
# Unpacked beside the old framework first, so a broken payload leaves the
# installed runtime as it was.
staging=$(mktemp -d "$FRAMEWORKS/.vantor-runtime.XXXXXX") || { say "cannot write to $FRAMEWORKS"; exit 1; }
if ! tail -n +"$start" "$0" | tar -xzf - -C "$staging"; then
  say "the framework payload is damaged"
  rm -rf "$staging"
  exit 1
fi
rm -rf "$FRAMEWORK"
mv "$staging/Brenmoor Vantor.framework" "$FRAMEWORK" && rmdir "$staging" || { say "cannot install $FRAMEWORK"; exit 1; }
say "installed $FRAMEWORK"

say "handing $package to the Application Installer"
exec "$APP_INSTALLER" "$@" "$package"

#!/usr/bin/env bash
# The test command: installs what is missing, builds the demo deployment and
# the sanitizer build, and runs every test of both. Exits non-zero when any
# build step or test fails.
#   tools/test.sh            both builds
#   tools/test.sh default    only the default build
#   tools/test.sh sanitize   only the ASan+UBSan build
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
cd "$here"
tools/setup.sh

presets=("$@")
[ ${#presets[@]} -gt 0 ] || presets=(default sanitize)

jobs=$(nproc)
for p in "${presets[@]}"; do
  echo "=== configure $p"
  cmake --preset "$p" >/dev/null
  echo "=== build $p"
  cmake --build --preset "$p" -j "$jobs"
  echo "=== test $p"
  ctest --preset "$p" -j "$jobs"
done
echo "=== all tests passed (${presets[*]})"

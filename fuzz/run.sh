#!/usr/bin/env bash
# Builds the fuzz targets in a clang build and runs them one after the other,
# each for a fixed time on one core, starting from a scratch copy of its seed
# corpus, and prints per target the run length, the executions, the final
# coverage and whether it found a crash.
#
#   fuzz/run.sh [seconds-per-target] [target...]
#
#   seconds-per-target   default 60
#   target               default: every fuzz/*_fuzz.cpp
#
# Environment:
#   VANTOR_FUZZ_BUILD    the clang build folder (default build/fuzz). Made
#                        with clang-14, the sanitizers and coverage of the
#                        project code when it does not exist yet.
#   VANTOR_FUZZ_OUT      where the run writes (default /tmp/vantor-fuzz):
#                          work/<target>/     the working corpus (seeds + growth)
#                          crashes/<target>/  crash, leak, timeout and oom inputs
#                          logs/<target>.log  libFuzzer's output
#                          tmp/<target>/      the targets' temporary files
#   VANTOR_FUZZ_FLAGS    extra libFuzzer flags, e.g. "-max_len=8192"
#   VANTOR_FUZZ_NO_BUILD set to 1 to run the binaries as they are (while
#                        another build runs in the same folder)
#
# Exits 1 when any target found a crash, else 0. Only one target runs at a
# time, single process (no -jobs/-workers), so the second core stays free.
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-60}
[ $# -gt 0 ] && shift
case "$seconds" in ''|*[!0-9]*) echo "run.sh: seconds must be a number, got '$seconds'" >&2; exit 2 ;; esac

build=${VANTOR_FUZZ_BUILD:-"$here/build/fuzz"}
out=${VANTOR_FUZZ_OUT:-/tmp/vantor-fuzz}
extra=${VANTOR_FUZZ_FLAGS:-}

if [ $# -gt 0 ]; then
  targets=("$@")
else
  targets=()
  for src in "$here"/fuzz/*_fuzz.cpp; do targets+=("$(basename "$src" .cpp)"); done
fi

if [ "${VANTOR_FUZZ_NO_BUILD:-0}" != 1 ]; then
  if [ ! -f "$build/build.ninja" ]; then
    # Coverage of the project's own code, not only of the target files.
    cmake -S "$here" -B "$build" -G Ninja -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14 \
      -DVANTOR_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug \
      -DCMAKE_C_FLAGS=-fsanitize=fuzzer-no-link -DCMAKE_CXX_FLAGS=-fsanitize=fuzzer-no-link >/dev/null
  fi
  ninja -C "$build" -j2 "${targets[@]}"
fi

# Leaks count as findings; a slow input (over 25 s) or one that needs more
# than 2 GiB is reported as a timeout or oom input.
export ASAN_OPTIONS=${ASAN_OPTIONS:-"detect_leaks=1:allocator_may_return_null=1"}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-"print_stacktrace=1:halt_on_error=1"}
# Without a display the targets' Qt pieces stay off any X server.
unset DISPLAY WAYLAND_DISPLAY

found=0
summary=()
for t in "${targets[@]}"; do
  bin="$build/fuzz/$t"
  [ -x "$bin" ] || { echo "run.sh: no fuzz binary $bin" >&2; exit 2; }
  work="$out/work/$t" crashes="$out/crashes/$t" log="$out/logs/$t.log" tmp="$out/tmp/$t"
  mkdir -p "$work" "$crashes" "$(dirname "$log")" "$tmp"
  [ -d "$here/fuzz/corpus/$t" ] && cp -n "$here/fuzz/corpus/$t"/* "$work"/ 2>/dev/null || true
  args=(-max_total_time="$seconds" -timeout=25 -rss_limit_mb=2048 -print_final_stats=1
        -artifact_prefix="$crashes/")
  [ -f "$here/fuzz/dict/$t.dict" ] && args+=(-dict="$here/fuzz/dict/$t.dict")
  before=$(ls "$crashes" | wc -l)
  echo "== $t: $bin ${args[*]} $extra $work" | tee "$log"
  start=$(date +%s)
  set +e
  # shellcheck disable=SC2086
  TMPDIR="$tmp" "$bin" "${args[@]}" $extra "$work" >>"$log" 2>&1
  rc=$?
  set -e
  length=$(( $(date +%s) - start ))
  after=$(ls "$crashes" | wc -l)
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  cov=$(grep -o 'cov: [0-9]* ft: [0-9]*' "$log" | tail -1)
  crash=no
  if [ "$rc" -ne 0 ] || [ "$after" -gt "$before" ]; then
    crash="YES (exit $rc, $((after - before)) new input(s) in $crashes)"
    found=1
  fi
  line="$t: ${length}s, ${execs:-?} executions, ${cov:-cov: ?}, crash: $crash"
  echo "$line"
  summary+=("$line")
done

echo "== summary (logs in $out/logs, crash inputs in $out/crashes)"
printf '%s\n' "${summary[@]}"
exit "$found"

#!/usr/bin/env bash
# Installs what is missing, builds twice (normal, and AddressSanitizer +
# UndefinedBehaviorSanitizer) and runs every test of both builds through CTest.
set -uo pipefail
top=$(cd "$(dirname "$0")" && pwd)
cd "$top"
scripts/deps.sh || { echo "test.sh: FAILED (could not install packages)"; exit 1; }

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
jobs=$(nproc)
summary=()
status=0
run_tree() {
  local name=$1 dir=$2
  shift 2
  if ! scripts/build.sh "$dir" "$@"; then
    summary+=("$name: build failed")
    status=1
    return
  fi
  local log="$dir/ctest.log"
  if ctest --test-dir "$dir" -j "$jobs" --output-on-failure --timeout 300 | tee "$log"; then
    :
  else
    status=1
  fi
  summary+=("$name: $(grep -E 'tests passed' "$log" | tail -1)")
}
run_tree normal build -DCMAKE_BUILD_TYPE=RelWithDebInfo
run_tree sanitizers build-asan -DCMAKE_BUILD_TYPE=Debug -DBREVANTA_SANITIZE=ON -DBREVANTA_BENCH=OFF

if [ $status -eq 0 ]; then
  echo "test.sh: PASSED (${summary[*]})"
else
  echo "test.sh: FAILED (${summary[*]})"
fi
exit $status

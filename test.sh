#!/usr/bin/env bash
# Installs what is missing, builds three trees (normal; AddressSanitizer +
# UndefinedBehaviorSanitizer; ThreadSanitizer) and runs their tests through
# CTest: every test of the first two, the threaded suites in the third.
set -uo pipefail
top=$(cd "$(dirname "$0")" && pwd)
cd "$top"
scripts/deps.sh || { echo "test.sh: FAILED (could not install packages)"; exit 1; }

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
# Any report ends the program, so its test fails; the suppressions name
# third-party libraries only.
export TSAN_OPTIONS=${TSAN_OPTIONS:-halt_on_error=1:second_deadlock_stack=1:suppressions=$top/scripts/tsan.supp}
jobs=$(nproc)
summary=()
status=0
# run_tree NAME DIR [cmake options...] [-- targets...]
# Builds the tree (only the targets, when named) and runs the tests of the
# test folders in $test_dirs (all of them when unset).
run_tree() {
  local name=$1 dir=$2
  shift 2
  local start=$SECONDS
  if ! scripts/build.sh "$dir" "$@"; then
    summary+=("$name: build failed")
    status=1
    return
  fi
  local log="$dir/ctest.log"
  : >"$log"
  local sub
  for sub in ${test_dirs:-.}; do
    if ! ctest --test-dir "$dir/$sub" -j "$jobs" --output-on-failure --timeout 300 | tee -a "$log"; then
      status=1
    fi
  done
  summary+=("$name: $(awk '/tests passed, .* out of/ {f += $4; t += $NF}
    END {printf "%d of %d tests failed", f, t}' "$log") in $((SECONDS - start)) s")
}
run_tree normal build -DCMAKE_BUILD_TYPE=RelWithDebInfo
# The Debian package of that tree, unpacked and started against its orvsim.
scripts/package-test.sh --quick || { summary+=("package: failed"); status=1; }
run_tree sanitizers build-asan -DCMAKE_BUILD_TYPE=Debug -DBREVANTA_SANITIZE=ON -DBREVANTA_BENCH=OFF
# The suites with threads of their own; a folder's tests need all its targets.
test_dirs="tests/live tests/e2e tests/p2p tests/pellin tests/vidrane tests/client" \
  run_tree tsan build-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBREVANTA_TSAN=ON -DBREVANTA_BENCH=OFF \
  -- live_unit_tests e2e_tests e2e_soak orvsim orvctl \
  p2p_sim_tests p2p_api_tests pellin_tests vidrane_tests client_tests

if [ $status -eq 0 ]; then
  echo "test.sh: PASSED (${summary[*]})"
else
  echo "test.sh: FAILED (${summary[*]})"
fi
exit $status

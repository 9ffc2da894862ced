#!/usr/bin/env bash
# Soak: sixteen channels over the four connection types against the simulator
# while its devices drop connections at random. At the end every channel must
# be playing, every record file whole frames, no thread or socket left, and
# (in a sanitizer build) no leaked memory.
#   scripts/soak.sh [MINUTES]                   long mode by hand (default 10)
#   scripts/soak.sh --seconds N [--program P]   short mode (CTest runs 20 s)
# Without --program it uses build-asan/bin/e2e_soak, else build/bin/e2e_soak.
set -uo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
seconds=600 program="" seed=${SOAK_SEED:-$RANDOM}
while [ $# -gt 0 ]; do
  case "$1" in
    --seconds) seconds=$2; shift 2 ;;
    --program) program=$2; shift 2 ;;
    --seed) seed=$2; shift 2 ;;
    [0-9]*) seconds=$(($1 * 60)); shift ;;
    *) echo "usage: soak.sh [MINUTES] | --seconds N [--program PATH] [--seed N]" >&2; exit 2 ;;
  esac
done
if [ -z "$program" ]; then
  for candidate in "$top/build-asan/bin/e2e_soak" "$top/build/bin/e2e_soak"; do
    [ -x "$candidate" ] && { program=$candidate; break; }
  done
fi
[ -x "$program" ] || { echo "soak.sh: no e2e_soak program (build the tree first)" >&2; exit 2; }

dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
echo "soak: $program for $seconds s, seed $seed"
# The program counts its threads and sockets before and after, checks
# playing channels, whole record files and prompt stops; LeakSanitizer (in a
# sanitizer build) fails it on leaked memory.
ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1} "$program" "$seconds" "$seed" "$dir"
status=$?
[ $status -eq 0 ] || echo "soak.sh: FAILED ($status)" >&2
exit $status

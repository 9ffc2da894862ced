#!/usr/bin/env bash
# Makes the Debian package brevanta_<version>_<arch>.deb and prints its path.
#   scripts/package.sh [--build DIR]
# DIR defaults to build-pkg, configured here as a Release tree without tests;
# an existing tree (e.g. --build build) is packaged as it is configured.
# Progress goes to stderr, so that stdout holds the path alone.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
usage() { echo "usage: scripts/package.sh [--build DIR]"; }
dir=$top/build-pkg
while [ $# -gt 0 ]; do
  case "$1" in
    --build)
      [ $# -ge 2 ] || { usage >&2; exit 2; }
      dir=$2
      shift 2
      ;;
    -h | --help) usage; exit 0 ;;
    *) usage >&2; exit 2 ;;
  esac
done
case "$dir" in /*) ;; *) dir=$top/$dir ;; esac

if [ ! -f "$dir/build.ninja" ]; then
  # cpack installs the tree first; in this tree that needs only what is installed.
  cmake -S "$top" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBREVANTA_TESTS=OFF \
    -DBREVANTA_BENCH=OFF -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON >&2
fi
cmake --build "$dir" -j "$(nproc)" --target brevanta_installed >&2
out=$dir/package
rm -f "$out"/brevanta_*.deb
(cd "$dir" && cpack --config CPackConfig.cmake -B "$out") >&2
debs=("$out"/brevanta_*.deb)
[ -f "${debs[0]}" ] || { echo "package.sh: cpack made no package" >&2; exit 1; }
echo "${debs[0]}"

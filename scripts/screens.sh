#!/usr/bin/env bash
# Writes one PNG per window state of the client into build/screens/, under
# Xvfb (xcb, 1920x1080x24) against the in-process simulator with the demo fleet,
# in Chinese and in English.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
scripts/deps.sh
scripts/build.sh build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
out=build/screens
mkdir -p "$out"
display=:$((90 + RANDOM % 100))
Xvfb "$display" -screen 0 1920x1080x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null || true' EXIT
for _ in $(seq 50); do
  [ -e "/tmp/.X11-unix/X${display#:}" ] && break
  sleep 0.1
done
DISPLAY=$display QT_QPA_PLATFORM=xcb build/bin/client_screens sim/fleet/demo.fleet "$out"
# The English interface: every picture again as name-en.png (main-16-live-en.png,
# settings-local-en.png among them); a text left in Chinese fails the run.
DISPLAY=$display QT_QPA_PLATFORM=xcb build/bin/client_screens sim/fleet/demo.fleet "$out" en
rm -rf "$out/work"
ls -1 "$out"/*.png

#!/usr/bin/env bash
# Installs what is missing, builds, starts the simulator with the demo fleet and
# shows the client side at work against it. `./run.sh --serve` keeps the
# simulator running afterwards until Ctrl-C.
set -euo pipefail
top=$(cd "$(dirname "$0")" && pwd)
cd "$top"
serve=0
[ "${1:-}" = "--serve" ] && serve=1

scripts/deps.sh
scripts/build.sh build -DCMAKE_BUILD_TYPE=RelWithDebInfo
bin=build/bin
fleet=sim/fleet/demo.fleet

log=$(mktemp)
"$bin/orvsim" --fleet "$fleet" >"$log" 2>&1 &
sim_pid=$!
cleanup() {
  kill "$sim_pid" 2>/dev/null || true
  wait "$sim_pid" 2>/dev/null || true
  rm -f "$log"
}
trap cleanup EXIT

for _ in $(seq 100); do
  grep -q "ready" "$log" && break
  kill -0 "$sim_pid" 2>/dev/null || { cat "$log"; echo "run.sh: orvsim did not start"; exit 1; }
  sleep 0.1
done
echo "== orvsim with $fleet"
cat "$log"
http_port=$(sed -n 's/.*ready: http [0-9.]*:\([0-9]*\).*/\1/p' "$log" | head -1)

if [ -x "$bin/orvctl" ] && [ -f tools/demo.sh ]; then
  echo
  echo "== the SDK against it (orvctl)"
  bash tools/demo.sh "$bin/orvctl" "$fleet" 127.0.0.1 "$http_port"
elif [ -n "$http_port" ]; then
  echo
  echo "== an authentication request by hand"
  exec 3<>"/dev/tcp/127.0.0.1/$http_port"
  printf 'GET /query?i2c=100000000001&tel=13800000001 HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n' >&3
  cat <&3
  exec 3<&-
  echo
fi

if [ $serve -eq 1 ]; then
  echo "== serving; Ctrl-C stops"
  tail -f "$log" &
  wait "$sim_pid"
fi

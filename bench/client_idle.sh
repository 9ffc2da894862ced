#!/usr/bin/env bash
# What an idle client costs: `brevanta --preview --layout 16` on the demo fleet
# under Xvfb, first playing, then with the simulator gone so that every pane
# keeps reconnecting. For each phase: the client's CPU share of one core and
# its threads' wake-ups a second (voluntary context switches).
# Goal: reconnecting panes cost under 1 % of a core.
#   bench/client_idle.sh [SECONDS]   (default 20; uses build/bin)
set -euo pipefail
seconds=${1:-20}
top=$(cd "$(dirname "$0")/.." && pwd)
bin=${BIN:-$top/build/bin}
work=$(mktemp -d -t client-idle.XXXXXX)
pids=()
cleanup() {
  local p
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  for p in "${pids[@]}"; do wait "$p" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT
hz=$(getconf CLK_TCK)

"$bin/orvsim" --quiet --fleet "$top/sim/fleet/demo.fleet" >"$work/sim.log" 2>&1 &
sim=$!
pids+=("$sim")
for _ in $(seq 100); do grep -q ready "$work/sim.log" && break; sleep 0.1; done
port=$(sed -n 's/.*ready: http [0-9.]*:\([0-9]*\).*/\1/p' "$work/sim.log" | head -1)
"$bin/brevanta_demo" "$top/sim/fleet/demo.fleet" 127.0.0.1 "$port" "$work/w" >/dev/null

display=:$((90 + RANDOM % 50))
Xvfb "$display" -screen 0 1920x1080x24 -nolisten tcp >/dev/null 2>&1 &
pids+=("$!")
sleep 1
(cd "$work/w" && DISPLAY=$display exec "$bin/brevanta" --preview --layout 16 \
  --status "$work/status") >"$work/client.log" 2>&1 &
client=$!
pids+=("$client")

ticks() { awk '{ sub(/^.*\) /, ""); print $12 + $13 }' "/proc/$client/stat"; }
switches() {
  cat /proc/$client/task/*/status 2>/dev/null | awk '/^voluntary_ctxt_switches/ { s += $2 } END { print s + 0 }'
}
measure() {
  local t0 s0 t1 s1
  t0=$(ticks); s0=$(switches)
  sleep "$seconds"
  t1=$(ticks); s1=$(switches)
  awk -v t=$((t1 - t0)) -v s=$((s1 - s0)) -v hz="$hz" -v n="$seconds" -v what="$1" \
    -v threads="$(ls /proc/$client/task | wc -l)" 'BEGIN {
      printf "%s: %.2f %% of a core, %.0f wake-ups a second over %d threads\n",
             what, 100 * t / hz / n, s / n, threads }'
}

sleep 20  # the page's panes start 2 s apart
measure "16 panes playing the demo fleet"
kill "$sim"
wait "$sim" 2>/dev/null || true
sleep 15  # every session notices the loss
measure "16 panes reconnecting (simulator gone)"

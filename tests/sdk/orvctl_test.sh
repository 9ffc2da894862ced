#!/bin/sh
# orvctl against orvsim on the demo fleet: every device logs in, every channel
# negotiates its connection type, the settings show, and errors carry codes.
# Usage: orvctl_test.sh ORVSIM ORVCTL DEMO_SH FLEET
set -u
orvsim=$1 orvctl=$2 demo=$3 fleet=$4
log=$(mktemp) out=$(mktemp)
"$orvsim" --fleet "$fleet" >"$log" 2>&1 &
pid=$!
trap 'kill $pid 2>/dev/null; wait $pid 2>/dev/null; rm -f "$log" "$out"' EXIT
tries=0
until grep -q 'ready: http' "$log"; do
  tries=$((tries + 1))
  [ $tries -gt 100 ] && { echo "orvsim did not start"; cat "$log"; exit 1; }
  sleep 0.1
done
port=$(sed -n 's/.*ready: http [0-9.]*:\([0-9]*\).*/\1/p' "$log" | head -1)
bash "$demo" "$orvctl" "$fleet" 127.0.0.1 "$port" >"$out" 2>&1 || { cat "$out"; exit 1; }
cat "$out"
for want in "logged in: handle 0" "connect type     client-monitor-direct" \
    "connect type     monitor-client-direct" "connect type     client-monitor-p2p" \
    "connect type     client-monitor-middle-transfer" "alarm: alarm" "rs485 channel 0" \
    "security: fixed password"; do
  grep -q "$want" "$out" || { echo "missing: $want"; exit 1; }
done
# A wrong phone number gives 20404; a wrong password shows in the negotiation.
"$orvctl" --port "$port" --i2c 100000000001 --tel 1 login >"$out" 2>&1 && exit 1
grep -q "error 20404" "$out" || { cat "$out"; exit 1; }
"$orvctl" --port "$port" --i2c 100000000001 --tel 13800000001 --passwd bad negotiate 0 \
  >"$out" 2>&1 && exit 1
grep -q "negotiation failed" "$out" || { cat "$out"; exit 1; }
"$orvctl" --port "$port" --i2c 100000000001 --tel 13800000001 talk 41004200 >"$out" 2>&1 ||
  { cat "$out"; exit 1; }
grep -q "accepted" "$out" || { cat "$out"; exit 1; }
exit 0

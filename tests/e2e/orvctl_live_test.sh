#!/bin/sh
# orvctl's live commands against orvsim on the demo fleet: play over every
# connection type, record, snapshot, PTZ, and clear errors for bad input.
# Usage: orvctl_live_test.sh ORVSIM ORVCTL FLEET
set -u
orvsim=$1 orvctl=$2 fleet=$3
dir=$(mktemp -d)
log=$dir/sim.log out=$dir/out
"$orvsim" --fleet "$fleet" >"$log" 2>&1 &
pid=$!
trap 'kill $pid 2>/dev/null; wait $pid 2>/dev/null; rm -rf "$dir"' EXIT
tries=0
until grep -q 'ready: http' "$log"; do
  tries=$((tries + 1))
  [ $tries -gt 100 ] && { echo "orvsim did not start"; cat "$log"; exit 1; }
  sleep 0.1
done
port=$(sed -n 's/.*ready: http [0-9.]*:\([0-9]*\).*/\1/p' "$log" | head -1)
ctl() { "$orvctl" --port "$port" --timeout 10 "$@"; }
expect() {  # expect WANT: the last output holds WANT
  grep -q "$1" "$out" || { echo "missing: $1"; cat "$out"; exit 1; }
}

# Two direct channels and the relay with a dial-back channel, at once.
ctl --i2c 100000000001 --tel 13800000001 --passwd 123456 play 1 0 1 >"$out" 2>&1 ||
  { cat "$out"; exit 1; }
expect "channel 0 (client-monitor-direct): [1-9][0-9]* frames shown"
expect "channel 1 (client-monitor-direct): [1-9][0-9]* frames shown"
ctl --i2c 100000000004 --tel 13800000004 play 1 0 1 >"$out" 2>&1 || { cat "$out"; exit 1; }
expect "channel 0 (client-monitor-middle-transfer): [1-9][0-9]* frames shown"
expect "channel 1 (monitor-client-direct): [1-9][0-9]* frames shown"
expect "bit rate [0-9]* kbit/s"
ctl --i2c 100000000003 --tel 13800000003 --passwd 888888 play 1 0 >"$out" 2>&1 ||
  { cat "$out"; exit 1; }
expect "channel 0 (client-monitor-p2p): [1-9][0-9]* frames shown.*not measured on P2P"

# A record file of whole frames from a type-1 frame, and a bitmap.
ctl --i2c 100000000002 --tel 13800000002 --passwd 654321 record 1 2 "$dir/r.264" >"$out" 2>&1 ||
  { cat "$out"; exit 1; }
expect "r.264: [1-9][0-9]* frames, [0-9]* bytes, whole frames, first frame of type 1"
ctl --i2c 100000000001 --tel 13800000001 --passwd 123456 snapshot 0 "$dir/s.bmp" >"$out" 2>&1 ||
  { cat "$out"; exit 1; }
expect "s.bmp: 176x144 bitmap"
[ "$(head -c 2 "$dir/s.bmp")" = "BM" ] || { echo "not a bitmap"; exit 1; }

# PTZ reaches the device over TCP; P2P carries none.
ctl --i2c 100000000004 --tel 13800000004 ptz 0 21 32 >"$out" 2>&1 || { cat "$out"; exit 1; }
expect "ptz command 21 sent on channel 0 (client-monitor-middle-transfer)"
tries=0
until grep -q "SET_PARAMETER" "$log"; do
  tries=$((tries + 1))
  [ $tries -gt 50 ] && { echo "no SET_PARAMETER at the device"; cat "$log"; exit 1; }
  sleep 0.1
done
ctl --i2c 100000000003 --tel 13800000003 --passwd 888888 ptz 0 21 32 >"$out" 2>&1 && exit 1
expect "do not travel over a P2P session"

# Errors: a channel the device lacks, bad arguments, a wrong password.
ctl --timeout 2 --i2c 100000000003 --tel 13800000003 --passwd 888888 play 1 4 >"$out" 2>&1 && exit 1
expect "0 frames shown"
expect "no picture:"
ctl --i2c 100000000001 --tel 13800000001 play 0 0 >"$out" 2>&1
[ $? -eq 2 ] || { echo "play 0 accepted"; exit 1; }
ctl --i2c 100000000001 --tel 13800000001 ptz 9 21 >"$out" 2>&1
[ $? -eq 2 ] || { echo "channel 9 accepted"; exit 1; }
ctl --timeout 2 --i2c 100000000001 --tel 13800000001 --passwd bad snapshot 0 "$dir/x.bmp" \
  >"$out" 2>&1 && exit 1
expect "showed no picture within 2 s"
[ -e "$dir/x.bmp" ] && { echo "a picture without a session"; exit 1; }
exit 0

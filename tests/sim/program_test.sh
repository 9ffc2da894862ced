#!/bin/sh
# orvsim as a program: starts on the demo fleet, prints its ready line and
# fleet summary, and stops cleanly on SIGINT. Usage: program_test.sh ORVSIM FLEET
set -u
orvsim=$1
fleet=$2
out=$(mktemp)
trap 'rm -f "$out"' EXIT
"$orvsim" --fleet "$fleet" >"$out" 2>&1 &
pid=$!
tries=0
until grep -q '^orvsim ready: http 127.0.0.1:[0-9]*, udp ' "$out"; do
  tries=$((tries + 1))
  if [ $tries -gt 100 ] || ! kill -0 $pid 2>/dev/null; then
    echo "orvsim did not get ready:"; cat "$out"; kill $pid 2>/dev/null; exit 1
  fi
  sleep 0.1
done
grep -q 'client-monitor-middle-transfer' "$out" || { echo "no fleet summary"; cat "$out"; exit 1; }
# Started in the background, orvsim inherited SIGINT ignored: it must take it all the same.
kill -INT $pid
wait $pid
rc=$?
cat "$out"
[ $rc -eq 0 ] || { echo "exit status $rc"; exit 1; }
grep -q '^orvsim: SIGINT, stopping$' "$out" && grep -q '^orvsim: stopped$' "$out" || { echo "no stop lines"; exit 1; }

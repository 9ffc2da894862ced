#!/usr/bin/env bash
# Logs every device of a fleet file in through orvctl and shows its
# negotiation (every channel 0-5) and its settings, then plays every channel
# for a few seconds over its connection type (PLAY_SECONDS, default 3) and
# shows the frames and the bit rate that arrived.
#   tools/demo.sh ORVCTL FLEET HOST PORT
set -uo pipefail
orvctl=$1 fleet=$2 host=$3 port=$4
play_seconds=${PLAY_SECONDS:-3}
status=0
for_each_device() {
  local action=$1 i2c="" tel="" passwd="" channels="" word a b c
  while read -r word a b c _; do
    case "$word" in
      device)
        "$action"
        i2c=$a tel=$b passwd=$c channels=""
        ;;
      channel)
        [ "$a" -le 5 ] 2>/dev/null && channels="$channels $a"
        ;;
    esac
  done < <(sed 's/#.*//' "$fleet")
  "$action"
}
show_device() {
  [ -n "$i2c" ] || return 0
  local pw=$passwd
  [ "$pw" = "-" ] && pw=""
  echo "-- device $i2c (tel $tel)"
  # shellcheck disable=SC2086
  if ! "$orvctl" --server "$host" --port "$port" --i2c "$i2c" --tel "$tel" --passwd "$pw" \
      --timeout 5 show ${channels:-0}; then
    status=1
  fi
  echo
}
play_device() {
  [ -n "$i2c" ] && [ -n "$channels" ] || return 0
  local pw=$passwd
  [ "$pw" = "-" ] && pw=""
  echo "-- device $i2c: live video for ${play_seconds} s"
  # shellcheck disable=SC2086
  if ! "$orvctl" --server "$host" --port "$port" --i2c "$i2c" --tel "$tel" --passwd "$pw" \
      --timeout 10 play "$play_seconds" $channels; then
    status=1
  fi
}
for_each_device show_device
echo "== live video from every channel"
for_each_device play_device
exit $status

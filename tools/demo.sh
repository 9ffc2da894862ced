#!/usr/bin/env bash
# Logs every device of a fleet file in through orvctl and shows its
# negotiation (every channel 0-5) and its settings.
#   tools/demo.sh ORVCTL FLEET HOST PORT
set -uo pipefail
orvctl=$1 fleet=$2 host=$3 port=$4
status=0
run_device() {
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
i2c="" tel="" passwd="" channels=""
while read -r word a b c _; do
  case "$word" in
    device)
      run_device
      i2c=$a tel=$b passwd=$c channels=""
      ;;
    channel)
      [ "$a" -le 5 ] 2>/dev/null && channels="$channels $a"
      ;;
  esac
done < <(sed 's/#.*//' "$fleet")
run_device
exit $status

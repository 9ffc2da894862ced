#!/usr/bin/env bash
# Client soak: brevanta with sixteen panes cycling through the 24 channels of
# sim/fleet/soak.fleet while orvsim's devices drop connections at random, and
# every playing pane recording (pressed by hand through xdotool: the weekly
# plan does not record while the desk cycles). Then the drops end, and every
# pane must play again, every record file hold whole frames, the client's
# threads, descriptors and memory be back near their values after the first
# minute, and the client exit cleanly without a sanitizer report. Under Xvfb.
#   scripts/soak-client.sh [MINUTES]    by hand (default 10; 0.5 works too)
#   scripts/soak-client.sh --short      the CI run, about a minute
# Options: --tree DIR (default build-asan, else build), --seed N, --keep
# (keep the temporary folder: logs, status file, recordings).
set -uo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
minutes=10 short=0 tree="" seed=${SOAK_SEED:-$RANDOM} keep=0
while [ $# -gt 0 ]; do
  case "$1" in
    --short) short=1; shift ;;
    --tree) tree=$2; shift 2 ;;
    --seed) seed=$2; shift 2 ;;
    --keep) keep=1; shift ;;
    [0-9]*) minutes=$1; shift ;;
    *) echo "usage: soak-client.sh [MINUTES] | --short [--tree DIR] [--seed N] [--keep]" >&2; exit 2 ;;
  esac
done
if [ $short -eq 1 ]; then
  soak_s=35 baseline_s=10 cycle_s=10
else
  soak_s=$(awk -v m="$minutes" 'BEGIN { printf "%d", m * 60 }')
  baseline_s=60 cycle_s=20
  [ "$soak_s" -lt 20 ] && { echo "soak-client.sh: MINUTES too short" >&2; exit 2; }
  [ "$baseline_s" -gt $((soak_s / 2)) ] && baseline_s=$((soak_s / 2))
fi
drop_gap_ms=1500
# Reconnects wait 5 s in the SDK; a page turn restarts a pane at once.
recover_limit_s=$((cycle_s + 25))
# After/before bounds of the checks: threads, descriptors, resident MiB (plus
# a share of the first value, for allocator and decoder pools).
max_more_threads=4 max_more_fds=8 max_more_rss_mib=48 max_more_rss_percent=15

if [ -z "$tree" ]; then
  for candidate in "$top/build-asan" "$top/build"; do
    [ -x "$candidate/bin/brevanta" ] && { tree=$candidate; break; }
  done
fi
bin=$tree/bin
for p in brevanta orvsim brevanta_demo record_check; do
  [ -x "$bin/$p" ] || { echo "soak-client.sh: no $bin/$p (build the tree first)" >&2; exit 2; }
done
for p in Xvfb xdotool; do
  command -v $p >/dev/null || { echo "soak-client.sh: $p is missing (scripts/deps.sh)" >&2; exit 2; }
done

dir=$(mktemp -d /tmp/soak-client.XXXXXX)
xvfb_pid="" sim_pid="" client_pid="" failed=0
cleanup() {
  for p in $client_pid $sim_pid $xvfb_pid; do kill "$p" 2>/dev/null; done
  for p in $client_pid $sim_pid $xvfb_pid; do wait "$p" 2>/dev/null; done
  if [ $keep -eq 1 ] || [ $failed -ne 0 ]; then echo "soak-client: kept $dir"; else rm -rf "$dir"; fi
}
trap cleanup EXIT
start=$SECONDS
fail() {
  echo "soak-client: FAILED: $*" >&2
  failed=1
}
note() { echo "soak-client: $*"; }
# Waits up to $1 s for the command after it to succeed.
wait_for() {
  local limit=$1 t=0
  shift
  until "$@"; do
    t=$((t + 1))
    [ $t -gt $((limit * 5)) ] && return 1
    sleep 0.2
  done
}

# Every report goes to a file of its own; the suppressions name third-party
# libraries only.
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}:log_path=$dir/sanitizer:quarantine_size_mb=16"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}:log_path=$dir/sanitizer"
export LSAN_OPTIONS="suppressions=$top/scripts/lsan.supp:print_suppressions=0"
export BREVANTA_DRIVES=$dir/rec
mkdir -p "$dir/rec"

Xvfb -displayfd 3 -screen 0 1920x1080x24 -nolisten tcp 3>"$dir/display" 2>"$dir/xvfb.log" &
xvfb_pid=$!
wait_for 10 test -s "$dir/display" || { fail "Xvfb did not start"; exit 1; }
DISPLAY=:$(head -1 "$dir/display")
export DISPLAY QT_QPA_PLATFORM=xcb

touch "$dir/drops-on"
"$bin/orvsim" --fleet "$top/sim/fleet/soak.fleet" --drops $drop_gap_ms \
  --drops-while "$dir/drops-on" --seed "$seed" >"$dir/orvsim.log" 2>&1 &
sim_pid=$!
wait_for 20 grep -q "ready" "$dir/orvsim.log" || { fail "orvsim did not start"; exit 1; }
port=$(sed -n 's/.*ready: http [0-9.]*:\([0-9]*\).*/\1/p' "$dir/orvsim.log" | head -1)
"$bin/brevanta_demo" "$top/sim/fleet/soak.fleet" 127.0.0.1 "$port" "$dir/work" --cycle $cycle_s ||
  { fail "no working folder"; exit 1; }

status=$dir/status
"$bin/brevanta" --workdir "$dir/work" --layout 16 --preview --status "$status" \
  >"$dir/client.log" 2>&1 &
client_pid=$!
wait_for 60 test -s "$status" || { fail "the client wrote no status"; exit 1; }

# The status file as "H previewing cycling page_size cycle_position" and one
# "i shown handle playing recording pictures started first" line per pane.
read_status() {
  awk '{ for (i = 1; i <= NF; ++i) { split($i, kv, "="); v[kv[1]] = kv[2] } }
    /^now=/ { print "H", v["previewing"], v["cycling"], v["page_size"], v["cycle_position"] }
    /^pane=/ { print v["pane"], v["shown"], v["handle"], v["playing"], v["recording"],
               v["pictures"], v["started"], v["first"] }' "$status"
}
header() { read_status | awk -v k="$1" '$1 == "H" { print $k }'; }
header_is() { [ "$(header "$1")" = "$2" ]; }
alive() { kill -0 "$client_pid" 2>/dev/null; }
# Desk coordinates under Xvfb (no window manager: the desk fills the screen).
click() { xdotool mousemove --sync "$1" "$2" click 1; }
click_button() {
  case $1 in
    record) click 154 1041 ;;
    exit) click 1558 1041 ;;
  esac
}
click_pane() { click $((10 + ($1 % 4) * 403 + 200)) $((10 + ($1 / 4) * 241 + 120)); }
# Threads, descriptors, sockets and resident KiB of the client.
resources() {
  local fds sockets
  fds=$(find "/proc/$client_pid/fd" -mindepth 1 2>/dev/null | wc -l)
  sockets=$(find "/proc/$client_pid/fd" -mindepth 1 -lname 'socket:*' 2>/dev/null | wc -l)
  awk -v fds="$fds" -v sockets="$sockets" '/^Threads:/ { t = $2 } /^VmRSS:/ { r = $2 }
    END { print t, fds, sockets, r }' "/proc/$client_pid/status"
}
# The panes' start times while all sixteen show pictures and record (each
# recording holds a file open): the state resources are compared in.
steady_starts() {
  read_status | awk '$1 == "H" { ok = $2 == 1 && $4 == 16; next }
    { ok = ok && $2 == 1 && $4 == 1 && $5 == 1 && $8 > 0; starts = starts " " $7 }
    END { if (ok) print starts }'
}
count_lines() { grep -c "$1" "$dir/orvsim.log"; }
# Starts or stops the drops ($1: on or off) and waits until orvsim follows.
drops() {
  local line="^orvsim: drops stopped" n t=$SECONDS
  [ "$1" = on ] && line="^orvsim: drops started"
  n=$(count_lines "$line")
  if [ "$1" = on ]; then touch "$dir/drops-on"; else rm -f "$dir/drops-on"; fi
  until [ "$(count_lines "$line")" -gt "$n" ]; do
    sleep 0.2
    [ $((SECONDS - t)) -gt 10 ] && { fail "orvsim did not turn the drops $1"; return 1; }
  done
}
# Starts recording on the playing panes that show pictures and do not record.
record_round() {
  local i shown handle playing recording pictures started first
  while read -r i shown handle playing recording pictures started first; do
    [ "$i" = H ] && continue
    if [ "$shown" = 1 ] && [ "$playing" = 1 ] && [ "$recording" = 0 ] && [ "$first" -gt 0 ]; then
      click_pane "$i"
      click_button record
      record_clicks=$((record_clicks + 1))
    fi
  done < <(read_status)
  dismiss_boxes
}
# A message box (a recording that failed to start, say) would hold the desk:
# it is kept as a picture and answered.
dismiss_boxes() {
  local box
  for box in $(xdotool search --name "^系统提示$" 2>/dev/null); do
    boxes=$((boxes + 1))
    import -window root "$dir/box-$boxes.png" 2>/dev/null
    xdotool windowfocus --sync "$box" key Return 2>/dev/null
  done
}
# Resources in the steady state, within $1 s (else as they are), into
# $sampled. The status is half a second old: the state must hold from the
# report before the sample to the one after it.
sample_resources() {
  local t=$SECONDS before_sample after_sample
  while [ $((SECONDS - t)) -lt "$1" ]; do
    before_sample=$(steady_starts)
    if [ -n "$before_sample" ]; then
      sampled=$(resources)
      sleep 0.6
      after_sample=$(steady_starts)
      [ "$after_sample" = "$before_sample" ] && return
    fi
    record_round
    sleep 0.5
  done
  note "no steady moment (all sixteen panes showing pictures and recording) in $1 s; sampled anyway"
  sampled=$(resources)
}

# Sixteen panes and the preview, from the command line.
wait_for 20 header_is 4 16 || { fail "the layout stayed at $(header 4) panes"; exit 1; }
wait_for 20 header_is 2 1 || { fail "the preview did not start"; exit 1; }
t0=$SECONDS
note "client pid $client_pid, orvsim seed $seed, $soak_s s of drops every ${drop_gap_ms} ms on average, cycle ${cycle_s} s"

exited=0 boxes=0 record_clicks=0 turns=0 cycled=0 last_position="" before=""
while [ $((SECONDS - t0)) -lt $soak_s ]; do
  alive || break
  record_round
  position=$(header 5)
  [ "$(header 3)" = 1 ] && cycled=1
  [ -n "$last_position" ] && [ "$position" != "$last_position" ] && turns=$((turns + 1))
  last_position=$position
  if [ -z "$before" ] && [ $((SECONDS - t0)) -ge $baseline_s ]; then
    # Compared with the end in the same state: every pane back, no drops.
    drops off
    sample_resources 30
    before=$sampled
    drops on
    note "after $((SECONDS - t0)) s: threads, fds, sockets, RSS KiB: $before"
  fi
  sleep 1
done
if ! alive; then
  wait "$client_pid"
  fail "the client died during the soak (status $?)"
  client_pid=""
fi
[ -n "$before" ] || before=$(resources)

drops off
if [ $failed -eq 0 ]; then
  note "$(sed -n 's/^orvsim: drops stopped: //p' "$dir/orvsim.log" | tail -1)"
  [ $cycled -eq 1 ] || note "the desk did not cycle (cycling=0 throughout)"
  note "$turns page turns, $record_clicks recordings started by hand, $boxes message boxes answered"

  # Every pane counts as playing again once its pictures grew between two
  # looks at the same start (a page turn starts a pane anew).
  ended=$SECONDS
  sleep 2
  last_started=() last_pictures=() recovered=() playing_again=0
  while [ $((SECONDS - ended)) -lt $recover_limit_s ] && [ $playing_again -lt 16 ]; do
    while read -r i shown handle playing recording pictures started first; do
      [ "$i" = H ] && continue
      if [ "$shown" = 1 ] && [ "$handle" -ge 0 ] && [ "${last_started[i]:-}" = "$started" ] &&
        [ "$pictures" -gt "${last_pictures[i]:-0}" ] && [ -z "${recovered[i]:-}" ]; then
        recovered[i]=1
        playing_again=$((playing_again + 1))
      fi
      last_started[i]=$started last_pictures[i]=$pictures
    done < <(read_status)
    sleep 1
  done
  if [ $playing_again -eq 16 ]; then
    note "16 of 16 panes playing again $((SECONDS - ended)) s after the drops ended"
  else
    fail "$playing_again of 16 panes playing $recover_limit_s s after the drops ended"
    grep '^pane=' "$status" >&2
  fi

  sample_resources 30
  after=$sampled
  read -r t0_threads t0_fds t0_sockets t0_rss <<<"$before"
  read -r t1_threads t1_fds t1_sockets t1_rss <<<"$after"
  note "threads $t0_threads -> $t1_threads, fds $t0_fds -> $t1_fds (sockets $t0_sockets -> $t1_sockets), RSS $((t0_rss / 1024)) -> $((t1_rss / 1024)) MiB"
  [ "$t1_threads" -le $((t0_threads + max_more_threads)) ] || fail "threads grew by more than $max_more_threads"
  [ "$t1_fds" -le $((t0_fds + max_more_fds)) ] || fail "descriptors grew by more than $max_more_fds"
  [ "$t1_rss" -le $((t0_rss + t0_rss * max_more_rss_percent / 100 + max_more_rss_mib * 1024)) ] ||
    fail "resident memory grew by more than $max_more_rss_percent % + $max_more_rss_mib MiB"

  # A clean exit: "退出系统", then OK in the confirmation box.
  exit_start=$SECONDS
  click_button exit
  box=""
  wait_for 10 eval 'box=$(xdotool search --name "^系统提示$" 2>/dev/null | head -1); [ -n "$box" ]' ||
    fail "no exit confirmation"
  if [ -n "$box" ]; then
    [ "$(xdotool getwindowfocus)" = "$box" ] || xdotool windowfocus --sync "$box"
    xdotool key Return
  fi
  if wait_for 60 eval '! alive'; then
    wait "$client_pid"
    rc=$?
    client_pid=""
    [ $rc -eq 0 ] || fail "the client exited with status $rc"
    note "client exit in $((SECONDS - exit_start)) s, status $rc"
    exited=1
  else
    fail "the client did not exit within 60 s of the confirmation"
  fi
fi

kill -TERM "$sim_pid" 2>/dev/null
wait "$sim_pid"
rc=$?
sim_pid=""
[ $rc -eq 0 ] || fail "orvsim exited with status $rc"

mapfile -t records < <(find "$dir/rec" -name '*.264' | sort)
if [ ${#records[@]} -eq 0 ]; then
  fail "no record files"
elif ! "$bin/record_check" "${records[@]}" >"$dir/records.log"; then
  fail "record files not whole:"
  grep -v ' frames, ' "$dir/records.log" >&2
else
  note "$(tail -1 "$dir/records.log")"
  tail -1 "$dir/records.log" | grep -q ' 0 frames,' && fail "nothing was recorded"
fi

reports=$(grep -l -E 'ERROR: |runtime error|SUMMARY: ' "$dir"/sanitizer* 2>/dev/null)
if [ -n "$reports" ]; then
  fail "sanitizer reports:"
  # shellcheck disable=SC2086
  head -n 40 $reports >&2
else
  note "no sanitizer report"
fi
[ $exited -eq 1 ] || fail "the checks did not run to the client's exit"
if [ $failed -eq 0 ]; then
  note "PASSED in $((SECONDS - start)) s"
else
  tail -n 20 "$dir/client.log" >&2
  echo "soak-client: FAILED after $((SECONDS - start)) s" >&2
fi
exit $failed

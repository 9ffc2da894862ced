#!/usr/bin/env bash
# The client benchmark: the program `brevanta` playing sixteen CIF and four D1
# channels at 25 fps from orvsim under one Xvfb (1920x1080x24), beside what its
# work should cost:
#   C  the client's CPU (utime + stime) over SECONDS once every pane shows video
#   F  ffmpeg -threads 1 -filter_threads 1 -i X.h264 -pix_fmt bgra -f null -
#      once per channel on the H.264 the simulator sends, SECONDS of video each
#   P  client_paint_anchor: the client's panes at their places and sizes, 25 new
#      BGRA pictures a second each, nothing decoded
# with the X server's CPU over each, the first picture of every pane per
# connection type (the demo fleet), and the GUI thread's longest stalls while a
# preview starts, a page turns and everything stops (client_gui_block).
# Goals: C/(F+P) near 1; no GUI block over 100 ms.
#   bench/client.sh [SECONDS]      (default 20; builds into build-bench/)
set -euo pipefail
seconds=${1:-20}
if ! [[ $seconds =~ ^[1-9][0-9]*$ ]]; then
  echo "usage: bench/client.sh [SECONDS]" >&2
  exit 2
fi
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
build=${BENCH_BUILD:-build-bench}
bin=$top/$build/bin
began=$(date +%s)

work=$(mktemp -d -t client-bench.XXXXXX)
pids=()
cleanup() {
  local p
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  for p in "${pids[@]}"; do wait "$p" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

fail() {
  echo "bench/client.sh: $*" >&2
  exit 1
}

stop_pid() {
  local p kept=()
  kill "$1" 2>/dev/null || true
  wait "$1" 2>/dev/null || true
  for p in "${pids[@]}"; do [ "$p" = "$1" ] || kept+=("$p"); done
  pids=("${kept[@]}")
}

scripts/deps.sh
echo "== building into $build"
if ! CCACHE_NOHASHDIR=1 scripts/build.sh "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -- \
  brevanta orvsim brevanta_demo client_paint_anchor client_gui_block client_stream_file \
  >"$work/build.log" 2>&1; then
  cat "$work/build.log"
  fail "build failed"
fi

echo "== $(nproc) cores, load average $(cut -d' ' -f1-3 /proc/loadavg) before the run"

# platform::tick_ms64() is CLOCK_MONOTONIC in ms: the status file's clock.
mono_ms() {
  perl -MTime::HiRes=clock_gettime,CLOCK_MONOTONIC -e \
    'printf "%d\n", clock_gettime(CLOCK_MONOTONIC) * 1000'
}
hz=$(getconf CLK_TCK)
cpu_ticks() {
  awk '{ sub(/^.*\) /, ""); print $12 + $13 }' "/proc/$1/stat"
}
# Every process's CPU on the machine, to tell a quiet run from a shared one.
busy_ticks() {
  awk '$1 == "cpu" { print $2 + $3 + $4 + $7 + $8 + $9 }' /proc/stat
}
ticks_to_s() {
  awk -v t="$1" -v hz="$hz" 'BEGIN { printf "%.2f", t / hz }'
}

# Key $2 of panes 0 .. $3-1 in status file $1, one a line.
pane_values() {
  awk -v key="$2" -v n="$3" '$1 ~ /^pane=/ {
    split($1, p, "="); if (p[2] + 0 >= n) next
    for (i = 2; i <= NF; i++) { split($i, kv, "="); if (kv[1] == key) { print kv[2]; break } }
  }' "$1"
}
sum_lines() { awk '{ s += $1 } END { print s + 0 }'; }

# Waits up to $3 s until the status file's first line matches $2.
wait_status() {
  local i
  for ((i = 0; i < $3 * 10; i++)); do
    [ -f "$1" ] && head -1 "$1" | grep -q -- "$2" && return 0
    sleep 0.1
  done
  return 1
}

# Waits up to $3 s until panes 0 .. $2-1 all play and their picture counts grew
# between two looks a second apart.
wait_live() {
  local status=$1 n=$2 limit=$3 prev="" now playing start
  start=$(date +%s)
  while [ $(($(date +%s) - start)) -le "$limit" ]; do
    playing=$(pane_values "$status" playing "$n" | grep -c '^1$' || true)
    now=$(pane_values "$status" pictures "$n" | tr '\n' ' ')
    if [ "$playing" -eq "$n" ]; then
      if [ -n "$prev" ] && awk -v a="$prev" -v b="$now" 'BEGIN {
          n = split(a, x, " "); split(b, y, " ")
          for (i = 1; i <= n; i++) if (y[i] + 0 <= x[i] + 0) exit 1 }'; then
        return 0
      fi
      prev=$now
    fi
    sleep 1
  done
  return 1
}

click() {
  xdotool mousemove --sync "$1" "$2" click 1
  # Off the controls, so no hover effect repaints during the measurement.
  xdotool mousemove --sync 1900 5
}

start_sim() {
  "$bin/orvsim" --fleet "$1" --quiet >"$2" 2>&1 &
  sim_pid=$!
  pids+=("$sim_pid")
  local i
  for ((i = 0; i < 300; i++)); do
    grep -q "ready" "$2" && break
    kill -0 "$sim_pid" 2>/dev/null || {
      cat "$2"
      fail "orvsim did not start"
    }
    sleep 0.1
  done
  http_port=$(sed -n 's/.*ready: http [0-9.]*:\([0-9]*\).*/\1/p' "$2" | head -1)
  [ -n "$http_port" ] || fail "orvsim printed no port"
}

# The device and channel of every fleet channel with its connection type.
fleet_types() {
  sed 's/#.*//' "$1" | awk '$1 == "device" { d = $2 } $1 == "channel" { print d, $2, $3 }'
}

# One line per started pane of status file $1 (panes 0 .. $2-1): pane, server,
# channel, started, first.
pane_starts() {
  awk -v n="$2" '$1 ~ /^pane=/ {
    for (i = 1; i <= NF; i++) { split($i, kv, "="); v[kv[1]] = kv[2] }
    if (v["pane"] + 0 < n && v["started"] + 0 >= 0)
      print v["pane"], v["server"], v["channel"], v["started"], v["first"]
  }' "$1"
}

# ---- the virtual display

mkdir -p "$work/drive" "$work/runtime"
chmod 700 "$work/runtime"
Xvfb -displayfd 3 -screen 0 1920x1080x24 -nolisten tcp 3>"$work/display" >"$work/xvfb.log" 2>&1 &
xvfb=$!
pids+=("$xvfb")
for ((i = 0; i < 100; i++)); do
  [ -s "$work/display" ] && break
  kill -0 "$xvfb" 2>/dev/null || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
  sleep 0.1
done
[ -s "$work/display" ] || fail "Xvfb gave no display"
DISPLAY=:$(head -1 "$work/display")
export DISPLAY
export QT_QPA_PLATFORM=xcb
export XDG_RUNTIME_DIR=$work/runtime
# Recording roots inside the scratch folder, not the machine's disks.
export BREVANTA_DRIVES=$work/drive

# ---- the GUI thread (and where the desk puts its panes and buttons)

echo "== GUI thread blocking: client_gui_block, the desk in-process against the in-process"
echo "   simulator (32 CIF 25 fps channels over the four connection types), layout 16,"
echo "   platform xcb on Xvfb $DISPLAY 1920x1080x24; heartbeat 2 ms; goal: no block over 100 ms"
"$bin/client_gui_block" >"$work/gui_block.log" 2>"$work/gui_block.err" || {
  cat "$work/gui_block.log" "$work/gui_block.err"
  fail "client_gui_block failed"
}
grep -E '^(platform|start-up|preview start|live, no operation|page turn|stop-all)' \
  "$work/gui_block.log" | sed 's/^/   /'
rects16=$(sed -n 's/^panes 16: //p' "$work/gui_block.log" | tr ' ' ';')
rects4=$(sed -n 's/^panes 4: //p' "$work/gui_block.log" | tr ' ' ';')
button() { sed -n "s/^button $1: //p" "$work/gui_block.log" | tr ',' ' '; }
read -r preview_x preview_y <<<"$(button 1087)"
read -r layout4_x layout4_y <<<"$(button 1527)"
read -r layout16_x layout16_y <<<"$(button 1529)"
if [ -z "$rects16" ] || [ -z "$rects4" ] || [ -z "$preview_x" ] || [ -z "$layout16_x" ]; then
  fail "client_gui_block printed no geometry"
fi

# ---- first pictures per connection type (demo fleet, --preview)

echo
echo "== first picture per pane: the demo fleet (sim/fleet/demo.fleet), layout 9, --preview,"
echo "   panes started 2000 ms apart; ms to the first picture from the pane's start, from 预览"
echo "   (preview: the first pane's start) and from the process start"
dir=$work/types
mkdir -p "$dir"
start_sim sim/fleet/demo.fleet "$dir/orvsim.log"
"$bin/brevanta_demo" sim/fleet/demo.fleet 127.0.0.1 "$http_port" "$dir/workdir" >/dev/null
entries=$(fleet_types sim/fleet/demo.fleet | wc -l)
launched=$(mono_ms)
"$bin/brevanta" --workdir "$dir/workdir" --status "$dir/status" --preview \
  >"$dir/brevanta.log" 2>&1 &
client_pid=$!
pids+=("$client_pid")
wait_status "$dir/status" 'previewing=1' 60 || fail "the demo preview did not start"
for ((i = 0; i < 60; i++)); do
  waiting=$(pane_values "$dir/status" first "$entries" | grep -c '^-1$' || true)
  started=$(pane_values "$dir/status" started "$entries" | grep -vc '^-1$' || true)
  [ "$started" -eq "$entries" ] && [ "$waiting" -eq 0 ] && break
  sleep 1
done
cp "$dir/status" "$dir/status.final"
stop_pid "$client_pid"
stop_pid "$sim_pid"
fleet_types sim/fleet/demo.fleet >"$dir/types"
pane_starts "$dir/status.final" "$entries" | awk -v launched="$launched" '
  NR == FNR { type[$1 " " $2] = $3; next }
  {
    if (FNR == 1 || $4 < press) press = $4
    line[FNR] = $0
    rows = FNR
  }
  END {
    printf "   %-4s %-31s %-13s %-3s %10s %8s %8s\n", "pane", "connection type", "device", "ch",
           "pane-start", "preview", "process"
    for (r = 1; r <= rows; r++) {
      split(line[r], f, " ")
      t = type[f[2] " " f[3]]
      if (f[5] < 0) {
        printf "   %-4s %-31s %-13s %-3s %10s %8s %8s\n", f[1], t, f[2], f[3], "none", "-", "-"
        continue
      }
      printf "   %-4s %-31s %-13s %-3s %10d %8d %8d\n", f[1], t, f[2], f[3], f[5] - f[4],
             f[5] - press, f[5] - launched
      sum[t] += f[5] - f[4]; count[t]++
    }
    split("client-monitor-direct monitor-client-direct client-monitor-p2p " \
          "client-monitor-middle-transfer", order, " ")
    for (k = 1; k <= 4; k++)
      if (count[order[k]])
        printf "   %-36s mean from the pane start %d ms (%d panes)\n", order[k],
               sum[order[k]] / count[order[k]], count[order[k]]
  }' "$dir/types" -

# ---- the client playing: C, and the X server beside it

# run_client NAME FLEET LAYOUT_X LAYOUT_Y PANES: sets client_s, xserver_s, sim_s, others_s,
# rate (pictures a second per pane: min and mean) and firsts (ms from each
# pane's start: min, median, max).
run_client() {
  local name=$1 fleet=$2 lx=$3 ly=$4 n=$5 dir=$work/$1
  mkdir -p "$dir"
  start_sim "$fleet" "$dir/orvsim.log"
  "$bin/brevanta_demo" "$fleet" 127.0.0.1 "$http_port" "$dir/workdir" >/dev/null
  "$bin/brevanta" --workdir "$dir/workdir" --layout "$n" --preview --status "$dir/status" \
    >"$dir/brevanta.log" 2>&1 &
  client_pid=$!
  pids+=("$client_pid")
  wait_status "$dir/status" "page_size=$n " 60 || fail "$name: the desk did not come up"
  wait_status "$dir/status" 'previewing=1' 10 || fail "$name: the preview did not start"
  wait_live "$dir/status" "$n" $((n * 2 + 60)) || fail "$name: not every pane shows video"
  local c0 x0 s0 b0 t0 c1 x1 s1 b1 t1
  c0=$(cpu_ticks "$client_pid") x0=$(cpu_ticks "$xvfb") s0=$(cpu_ticks "$sim_pid") b0=$(busy_ticks)
  pane_values "$dir/status" pictures "$n" >"$dir/pictures0"
  t0=$(mono_ms)
  sleep "$seconds"
  c1=$(cpu_ticks "$client_pid") x1=$(cpu_ticks "$xvfb") s1=$(cpu_ticks "$sim_pid") b1=$(busy_ticks)
  pane_values "$dir/status" pictures "$n" >"$dir/pictures1"
  t1=$(mono_ms)
  client_s=$(ticks_to_s $((c1 - c0)))
  xserver_s=$(ticks_to_s $((x1 - x0)))
  sim_s=$(ticks_to_s $((s1 - s0)))
  others_s=$(ticks_to_s $((b1 - b0 - (c1 - c0) - (x1 - x0) - (s1 - s0))))
  rate=$(paste "$dir/pictures0" "$dir/pictures1" | awk -v ms=$((t1 - t0)) '
    { r = ($2 - $1) * 1000 / ms; s += r; if (NR == 1 || r < m) m = r }
    END { printf "min %.1f, mean %.1f", m, s / NR }')
  firsts=$(pane_starts "$dir/status" "$n" | awk '$5 >= 0 { print $5 - $4 }' | sort -n | awk '
    { v[NR] = $1 } END { printf "min %d, median %d, max %d", v[1], v[int((NR + 1) / 2)], v[NR] }')
  stop_pid "$client_pid"
  stop_pid "$sim_pid"
}

# run_anchor NAME RECTS: sets anchor_s, anchor_xserver_s, anchor_others_s, anchor_line.
run_anchor() {
  local dir=$work/$1 a0 x0 b0 a1 x1 b1 pid
  mkdir -p "$dir"
  "$bin/client_paint_anchor" "$2" $((seconds + 3)) >"$dir/anchor.log" 2>&1 &
  pid=$!
  pids+=("$pid")
  sleep 2
  a0=$(cpu_ticks "$pid") x0=$(cpu_ticks "$xvfb") b0=$(busy_ticks)
  sleep "$seconds"
  a1=$(cpu_ticks "$pid") x1=$(cpu_ticks "$xvfb") b1=$(busy_ticks)
  wait "$pid" || fail "client_paint_anchor failed: $(cat "$dir/anchor.log")"
  stop_pid "$pid"
  anchor_s=$(ticks_to_s $((a1 - a0)))
  anchor_xserver_s=$(ticks_to_s $((x1 - x0)))
  anchor_others_s=$(ticks_to_s $((b1 - b0 - (a1 - a0) - (x1 - x0))))
  anchor_line=$(grep '^painted' "$dir/anchor.log" || true)
}

# ffmpeg_s FILE COUNT: ffmpeg's own CPU (its -benchmark utime + stime), summed
# over COUNT decodes of FILE.
ffmpeg_s() {
  local i total=0 cpu
  for ((i = 0; i < $2; i++)); do
    cpu=$(ffmpeg -nostdin -hide_banner -benchmark -threads 1 -filter_threads 1 -i "$1" \
      -pix_fmt bgra -f null - 2>&1 | sed -n 's/.*utime=\([0-9.]*\)s stime=\([0-9.]*\)s.*/\1 \2/p' |
      tail -1)
    [ -n "$cpu" ] || fail "ffmpeg failed on $1"
    total=$(awk -v t="$total" -v c="$cpu" 'BEGIN { split(c, x, " "); print t + x[1] + x[2] }')
  done
  awk -v t="$total" 'BEGIN { printf "%.2f", t }'
}

# Four recorders of four channels each (a recorder has six at most).
write_fleet() {
  local d c
  for d in 1 2 3 4; do
    echo "device 50000000000$d 1360000000$d pw"
    for ((c = 0; c < $1; c++)); do echo "channel $c client-monitor-direct resolution=$2 fps=25"; done
  done
}

summary=()
scenario() {
  local name=$1 format=$2 per_device=$3 lx=$4 ly=$5 rects=$6 n=$7 size
  write_fleet "$per_device" "$format" >"$work/$name.fleet"
  size=$("$bin/client_stream_file" "$format" "$seconds" "$work/$name.h264" | cut -d' ' -f1)
  echo
  echo "== $n x $size at 25 fps, client-monitor-direct, layout $n, $seconds s"
  run_client "$name" "$work/$name.fleet" "$lx" "$ly" "$n"
  echo "   client $client_s s CPU, X server $xserver_s s, orvsim $sim_s s," \
    "everything else on the machine $others_s s"
  echo "   pictures a second per pane: $rate (the stream: 25)"
  echo "   first picture from each pane's start: $firsts ms"
  run_anchor "$name" "$rects"
  echo "   painting anchor $anchor_s s CPU, X server $anchor_xserver_s s," \
    "everything else $anchor_others_s s"
  echo "   $anchor_line"
  local f
  f=$(ffmpeg_s "$work/$name.h264" "$n")
  echo "   ffmpeg $f s CPU ($n decodes of $seconds s)"
  summary+=("$(awk -v c="$client_s" -v f="$f" -v p="$anchor_s" -v n="$n" -v s="$size" 'BEGIN {
    printf "%d x %s in the client: %.2f s CPU, ffmpeg %.2f s, painting %.2f s, ratio C/(F+P) %.2f",
           n, s, c, f, p, ((f + p) > 0 ? c / (f + p) : 0) }')")
  summary+=("X server, $n x $size: $xserver_s s CPU beside the client, $anchor_xserver_s s beside the painting anchor")
}

scenario cif16 cif 4 "$layout16_x" "$layout16_y" "$rects16" 16
scenario d1x4 d1 1 "$layout4_x" "$layout4_y" "$rects4" 4

echo
echo "took $(($(date +%s) - began)) s"
printf '%s\n' "${summary[@]}"

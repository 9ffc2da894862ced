#!/usr/bin/env bash
# Builds the Debian package, unpacks it into a temporary tree and checks it:
# its files and fields, that the unpacked programs find their own libraries,
# the client's --help, --desktop making its working folder, and a preview in
# English against the unpacked orvsim in which a pane must receive pictures.
#   scripts/package-test.sh [--quick] [--build DIR]
# Default: a Release tree in build-pkg (scripts/package.sh). --quick packages
# an already built tree instead (default build, the one test.sh builds).
set -uo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top" || exit 1
usage() { echo "usage: scripts/package-test.sh [--quick] [--build DIR]"; }
quick=0
dir=""
while [ $# -gt 0 ]; do
  case "$1" in
    --quick) quick=1; shift ;;
    --build)
      [ $# -ge 2 ] || { usage >&2; exit 2; }
      dir=$2
      shift 2
      ;;
    -h | --help) usage; exit 0 ;;
    *) usage >&2; exit 2 ;;
  esac
done
[ -n "$dir" ] || { [ $quick -eq 1 ] && dir=build || dir=build-pkg; }
case "$dir" in /*) ;; *) dir=$top/$dir ;; esac
fleet=$top/sim/fleet/demo.fleet
preview_seconds=$([ $quick -eq 1 ] && echo 20 || echo 40)

tmp=$(mktemp -d /tmp/brevanta-package-test.XXXXXX)
pids=()
failures=0
# Ends a process: TERM, up to 10 s to go, then KILL.
stop() {
  local pid=$1
  kill -TERM "$pid" 2>/dev/null || return 0
  for _ in $(seq 100); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  kill -KILL "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
}
# shellcheck disable=SC2317 # called by the traps
cleanup() {
  local i
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do stop "${pids[i]}"; done
  rm -rf "$tmp"
}
trap cleanup EXIT
trap 'exit 130' INT TERM
ok() { echo "ok: $*"; }
fail() {
  echo "FAILED: $*"
  failures=$((failures + 1))
}
# wait_for SECONDS COMMAND...: true once COMMAND succeeds, polled every 0.2 s.
wait_for() {
  local limit=$(($1 * 5))
  shift
  for _ in $(seq "$limit"); do
    "$@" && return 0
    sleep 0.2
  done
  return 1
}
finish() {
  if [ $failures -eq 0 ]; then
    echo "package-test.sh: PASSED"
    exit 0
  fi
  echo "package-test.sh: FAILED ($failures checks)"
  exit 1
}

echo "== package ($dir)"
if ! deb=$(timeout 3600 scripts/package.sh --build "$dir"); then
  fail "scripts/package.sh"
  finish
fi
echo "$deb"

echo "== contents"
root=$tmp/root
dpkg -x "$deb" "$root" || { fail "dpkg -x"; finish; }
for f in usr/bin/brevanta usr/bin/orvctl usr/bin/orvsim \
  usr/lib/brevanta/libvelmosdk.so usr/lib/brevanta/libVidrane.so \
  usr/lib/brevanta/libplatformrt.so usr/lib/brevanta/libpellin.so \
  usr/lib/brevanta/libQuillon.so usr/lib/brevanta/libMorvic.so usr/lib/brevanta/libTarvic.so \
  usr/share/brevanta/res/maindlgbk.bmp usr/share/brevanta/res/NoSignal1.bmp \
  usr/share/brevanta/res/icon.png usr/share/brevanta/res/brevanta_en.qm \
  usr/share/applications/brevanta.desktop \
  usr/share/icons/hicolor/64x64/apps/brevanta.png; do
  [ -s "$root/$f" ] || fail "missing /$f"
done
ok "$(find "$root" -type f | wc -l) files"
desktop=$root/usr/share/applications/brevanta.desktop
for line in "Name=Brevanta" "Exec=brevanta --desktop" "Icon=brevanta" \
  "Categories=AudioVideo;Video;"; do
  grep -qxF "$line" "$desktop" 2>/dev/null || fail "brevanta.desktop lacks $line"
done
grep -q '^Name\[zh_CN\]=' "$desktop" 2>/dev/null || fail "brevanta.desktop lacks Name[zh_CN]"
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$desktop" || fail "desktop-file-validate"
fi

echo "== fields"
info=$(dpkg-deb -I "$deb")
echo "$info"
for field in "Package: brevanta" "Section: video" "Maintainer: Brevanta developers"; do
  echo "$info" | grep -qF " $field" || fail "no '$field'"
done
depends=$(echo "$info" | sed -n 's/^ Depends: //p')
for dep in libc6 libqt6widgets6 libportaudio2 libavcodec fonts-wqy-microhei; do
  [[ "$depends" == *"$dep"* ]] || fail "Depends lacks $dep"
done

echo "== libraries"
lib_failures=$failures
for prog in brevanta orvctl orvsim; do
  if ! resolved=$(env -u LD_LIBRARY_PATH ldd "$root/usr/bin/$prog"); then
    fail "ldd $prog"
    continue
  fi
  if grep -q "not found" <<<"$resolved"; then
    fail "$prog: $(grep "not found" <<<"$resolved" | tr -s ' \t' ' ')"
  fi
  # Its own libraries from the unpacked tree, never from a build tree.
  while read -r lib path; do
    [ "$(realpath -m "$path")" = "$(realpath -m "$root/usr/lib/brevanta/$lib")" ] || fail "$prog loads $lib from $path"
  done < <(sed -n 's/^[[:space:]]*\(lib\(velmosdk\|Vidrane\|platformrt\)\.so\) => \([^ ]*\).*/\1 \3/p' \
    <<<"$resolved")
done
[ $failures -eq $lib_failures ] && ok "the programs find their libraries in /usr/lib/brevanta"

# The demo working folder is made by the build tree's brevanta_demo.
if ! timeout 1800 cmake --build "$dir" --target brevanta_demo >/dev/null; then
  fail "building brevanta_demo"
  finish
fi

echo "== client"
display=""
for _ in $(seq 50); do
  n=$((200 + RANDOM % 700))
  [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] || { display=:$n; break; }
done
[ -n "$display" ] || { fail "no free display"; finish; }
Xvfb "$display" -screen 0 1920x1080x24 -nolisten tcp >"$tmp/xvfb.log" 2>&1 &
pids+=("$!")
wait_for 10 test -e "/tmp/.X11-unix/X${display#:}" || { fail "Xvfb $display did not start"; finish; }
home=$tmp/home
mkdir -p "$home" "$tmp/runtime"
chmod 700 "$tmp/runtime"
# The unpacked client alone: no build tree's libraries, a home of its own.
client_env=(env -u LD_LIBRARY_PATH -u XDG_DATA_HOME HOME="$home" XDG_RUNTIME_DIR="$tmp/runtime"
  DISPLAY="$display" QT_QPA_PLATFORM=xcb)
client=$root/usr/bin/brevanta

timeout 20 "${client_env[@]}" "$client" --help >"$tmp/help.txt" 2>&1
rc=$?
if [ $rc -eq 0 ] && grep -q -- "--desktop" "$tmp/help.txt" && grep -q -- "--workdir" "$tmp/help.txt"; then
  ok "brevanta --help"
  sed 's/^/   /' "$tmp/help.txt"
else
  fail "brevanta --help (exit $rc)"
  cat "$tmp/help.txt"
fi

# From the menu: the working folder under the data home, made with the pictures
# the program brings; the first login waits there until the program is ended.
"${client_env[@]}" "$client" --desktop >"$tmp/desktop.log" 2>&1 &
pid=$!
pids+=("$pid")
if wait_for 15 test -s "$home/.local/share/brevanta/res/maindlgbk.bmp"; then
  ok "--desktop made ~/.local/share/brevanta with its pictures"
else
  fail "--desktop: no ~/.local/share/brevanta/res/maindlgbk.bmp"
  cat "$tmp/desktop.log"
fi
stop "$pid"

"$root/usr/bin/orvsim" --fleet "$fleet" >"$tmp/orvsim.log" 2>&1 &
pids+=("$!")
if ! wait_for 10 grep -q "ready: http" "$tmp/orvsim.log"; then
  fail "orvsim did not start"
  cat "$tmp/orvsim.log"
  finish
fi
port=$(sed -n 's/.*ready: http [0-9.]*:\([0-9]*\).*/\1/p' "$tmp/orvsim.log" | head -1)
ok "orvsim serves on port $port"

work=$tmp/work
mkdir -p "$work/drive-c" "$work/drive-d"
export BREVANTA_DRIVES=$work/drive-c:$work/drive-d
if ! timeout 30 "$dir/bin/brevanta_demo" "$fleet" 127.0.0.1 "$port" "$work"; then
  fail "brevanta_demo"
  finish
fi
status=$tmp/status.txt
"${client_env[@]}" "$client" --lang en --preview --layout 4 --workdir "$work" --status "$status" >"$tmp/client.log" 2>&1 &
pid=$!
pids+=("$pid")
pictures() { grep -qE '^pane=[0-9]+ .* pictures=[1-9]' "$status" 2>/dev/null; }
alive() { kill -0 "$pid" 2>/dev/null; }
# shellcheck disable=SC2317 # called through wait_for
pictures_or_gone() { pictures || ! alive; }
wait_for "$preview_seconds" pictures_or_gone
if pictures; then
  ok "a pane received pictures:"
  grep -E '^pane=[0-9]+ .* pictures=[1-9]' "$status" | awk '{print "   " $1, $6, $9, $10}'
else
  alive || fail "the client ended early"
  fail "no pane received pictures within $preview_seconds s"
  cat "$status" "$tmp/client.log" 2>/dev/null
fi
[ -s "$work/res/maindlgbk.bmp" ] || fail "the client did not find its pictures in /usr/share/brevanta/res"
[ -s "$work/res/maindlgbk_en.bmp" ] || fail "the English client did not take its English pictures"
if grep -q "translation" "$tmp/client.log"; then
  fail "the English translation did not load"
  cat "$tmp/client.log"
fi
stop "$pid"
finish

#!/usr/bin/env bash
# The monkey test: the editor, built with the address and undefined-behaviour
# sanitizers, runs on a virtual display with a library open and receives
# random real X events (clicks, double-clicks, right-clicks, wheel turns,
# keys, typed text, drags) for the minutes given (default 10). Its dialogs are
# answered at random too; file dialogs only ever get names without a folder,
# so every file it writes lands in its own temporary folder, which is also
# its home. It fails on a crash, a sanitizer report, or a window that does
# not answer for 10 seconds.
#
# usage: scripts/monkey.sh [minutes]
# TQF_MONKEY_BUILD names the build folder (default build-monkey);
# TQF_MONKEY_SEED makes a run repeatable.
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$PWD
minutes=${1:-10}
build=${TQF_MONKEY_BUILD:-$repo/build-monkey}
seed=${TQF_MONKEY_SEED:-$(date +%s)}
RANDOM=$seed
hang_seconds=10

for tool in xdotool Xvfb cc; do
  if ! command -v "$tool" >/dev/null; then
    echo "monkey: $tool is missing; run scripts/setup.sh" >&2
    exit 2
  fi
done

launcher=()
if command -v ccache >/dev/null; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache); fi
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTQF_SANITIZE=ON -DTQF_BUILD_BENCH=OFF \
  "${launcher[@]}" >/dev/null
cmake --build "$build" --target tqf-editor
editor=$build/src/app/tqf-editor

work=$(mktemp -d /tmp/tqf-monkey.XXXXXX)
mkdir -p "$work/home" "$work/files" "$work/runtime" "$work/reports"
chmod 700 "$work/runtime"
cc -O2 -o "$work/ping" scripts/monkey/ping.c -lX11
cp examples/*.TQF "$work/files/"
library=$(cd "$work/files" && ls ./*.TQF | head -n 1)
library=${library#./}

xvfb_pid=""
editor_pid=""
cleanup() {
  if [ -n "$editor_pid" ] && kill -0 "$editor_pid" 2>/dev/null; then kill "$editor_pid" 2>/dev/null || true; fi
  if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null || true; fi
}
trap cleanup EXIT

# A display of its own, on a free number far from those people and other
# scripts use (":0", ":99"), whose windows and programs might be closed
# under it.
display=""
for _ in $(seq 50); do
  n=$((200 + $(od -An -N2 -tu2 /dev/urandom) % 700))
  if [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; then continue; fi
  # -noreset: the server stays as it is when its last client goes, so that
  # the check below cannot leave it resetting when the editor connects.
  Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp -noreset >"$work/xvfb.log" 2>&1 &
  xvfb_pid=$!
  # Ready once it answers a client, not when its socket appears: a client
  # that comes earlier cannot connect.
  for _ in $(seq 100); do
    if DISPLAY=":$n" xdotool getdisplaygeometry >/dev/null 2>&1 || ! kill -0 "$xvfb_pid" 2>/dev/null; then break; fi
    sleep 0.1
  done
  if kill -0 "$xvfb_pid" 2>/dev/null && DISPLAY=":$n" xdotool getdisplaygeometry >/dev/null 2>&1; then
    display=":$n"
    break
  fi
  kill "$xvfb_pid" 2>/dev/null || true
  xvfb_pid=""
done
[ -n "$display" ] || { echo "monkey: no free display" >&2; exit 2; }
export DISPLAY=$display

export HOME=$work/home XDG_RUNTIME_DIR=$work/runtime XDG_CONFIG_HOME=$work/home/.config
export XDG_DATA_HOME=$work/home/.local/share XDG_CACHE_HOME=$work/home/.cache
export QT_QPA_PLATFORM=xcb
unset SESSION_MANAGER
# Leaks at exit belong to the libraries the window uses, not to a run of events.
export ASAN_OPTIONS="detect_leaks=0:abort_on_error=0:exitcode=99:log_path=$work/reports/asan"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1:log_path=$work/reports/ubsan"

declare -A count=()
bump() { count[$1]=$((${count[$1]:-0} + 1)); }

fail() {
  echo "monkey: FAILED: $*" >&2
  echo "monkey: seed $seed, files in $work" >&2
  # A sanitizer writes its report, stack and all, before the editor ends:
  # give it the time, so that the report is whole.
  for _ in $(seq 60); do
    { [ -n "$editor_pid" ] && kill -0 "$editor_pid" 2>/dev/null && ! reports_clean; } || break
    sleep 0.5
  done
  for report in "$work"/reports/*; do
    [ -e "$report" ] && cat "$report" >&2
  done
  tail -n 50 "$work/editor.log" >&2 || true
  import -window root "$work/last.png" 2>/dev/null && echo "monkey: last screen in $work/last.png" >&2
  exit 1
}

reports_clean() { ! compgen -G "$work/reports/*" >/dev/null; }

main_window=""
start_editor() {
  (cd "$work/files" && exec "$editor") >>"$work/editor.log" 2>&1 &
  editor_pid=$!
  main_window=""
  for _ in $(seq 300); do
    main_window=$(xdotool search --onlyvisible --pid "$editor_pid" 2>/dev/null | head -n 1 || true)
    [ -n "$main_window" ] && break
    kill -0 "$editor_pid" 2>/dev/null || fail "the editor ended while starting"
    sleep 0.1
  done
  [ -n "$main_window" ] || fail "the editor showed no window"
  bump starts
  open_library
}

# Opens the library through the window's own Open button and file dialog.
open_library() {
  xdotool windowfocus --sync "$main_window" 2>/dev/null || true
  xdotool mousemove --window "$main_window" "$open_x" "$open_y" click 1
  local dialog=""
  for _ in $(seq 50); do
    dialog=$(top_window)
    if [ -n "$dialog" ] && [ "$dialog" != "$main_window" ] &&
      [ "$(xdotool getwindowname "$dialog" 2>/dev/null || true)" = "Open" ]; then
      break
    fi
    dialog=""
    sleep 0.1
  done
  [ -n "$dialog" ] || fail "the Open button showed no file dialog"
  xdotool windowfocus --sync "$dialog" 2>/dev/null || true
  xdotool type --delay 10 "$library"
  xdotool key Return
  bump library_opened
  sleep 1
}

# The window that takes input now: the newest visible one of the editor.
top_window() {
  xdotool search --onlyvisible --pid "$editor_pid" 2>/dev/null | tail -n 1 || true
}

random_text() {
  local chars='abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789 <>[]().,'
  local text="" n=$((RANDOM % 12 + 1))
  for _ in $(seq "$n"); do text+=${chars:$((RANDOM % ${#chars})):1}; done
  printf '%s' "$text"
}

keys=(Tab shift+Tab Return Escape space Up Down Left Right Home End Page_Up Page_Down Delete BackSpace F1
  ctrl+z ctrl+y ctrl+shift+z ctrl+f ctrl+a ctrl+c ctrl+v ctrl+x F3 shift+F3 Insert alt+n alt+o alt+s)

# A file dialog gets only a name in its own folder, or Escape: no clicks
# that could reach another folder, no keys that climb out of it.
answer_file_dialog() {
  local dialog=$1
  xdotool windowfocus --sync "$dialog" 2>/dev/null || true
  case $((RANDOM % 3)) in
  0) xdotool key Escape ;;
  1) xdotool type --delay 5 "$library"; xdotool key Return ;;
  2) xdotool type --delay 5 "m$((RANDOM % 20)).TQF"; xdotool key Return ;;
  esac
  bump file_dialog
}

random_event() {
  local window=$1 x y
  eval "$(xdotool getwindowgeometry --shell "$window" 2>/dev/null || echo 'WIDTH=0 HEIGHT=0')"
  [ "${WIDTH:-0}" -gt 4 ] && [ "${HEIGHT:-0}" -gt 4 ] || return 0
  x=$((RANDOM % WIDTH))
  y=$((RANDOM % HEIGHT))
  xdotool windowfocus "$window" 2>/dev/null || true
  local pick=$((RANDOM % 100))
  if [ $pick -lt 34 ]; then
    xdotool mousemove --window "$window" $x $y click 1 && bump click
  elif [ $pick -lt 42 ]; then
    xdotool mousemove --window "$window" $x $y click --repeat 2 --delay 80 1 && bump double_click
  elif [ $pick -lt 48 ]; then
    xdotool mousemove --window "$window" $x $y click 3 && bump right_click
  elif [ $pick -lt 56 ]; then
    xdotool mousemove --window "$window" $x $y click --repeat $((RANDOM % 5 + 1)) $((RANDOM % 2 + 4)) && bump wheel
  elif [ $pick -lt 74 ]; then
    xdotool key "${keys[$((RANDOM % ${#keys[@]}))]}" && bump key
  elif [ $pick -lt 90 ]; then
    xdotool type --delay 10 "$(random_text)" && bump typed_text
  else
    xdotool mousemove --window "$window" $x $y mousedown 1 \
      mousemove --window "$window" $((RANDOM % WIDTH)) $((RANDOM % HEIGHT)) \
      mousemove --window "$window" $((RANDOM % WIDTH)) $((RANDOM % HEIGHT)) mouseup 1 && bump drag
  fi
}

# Where the Open button lies in the main window.
open_x=133
open_y=35

end=$((SECONDS + minutes * 60))
next_ping=$SECONDS
start_editor
while [ $SECONDS -lt $end ]; do
  if ! kill -0 "$editor_pid" 2>/dev/null; then
    status=0
    wait "$editor_pid" || status=$?
    reports_clean || fail "sanitizer report"
    # Exit, answered Yes, ends the editor normally: start it again.
    [ "$status" -eq 0 ] || fail "the editor ended with status $status"
    bump normal_exits
    start_editor
    continue
  fi
  reports_clean || fail "sanitizer report"
  if [ $SECONDS -ge $next_ping ]; then
    answer=0
    "$work/ping" "$main_window" "$hang_seconds" || answer=$?
    # 3: the window is gone, as when Exit ends the editor; the next round
    # sees the editor's end.
    if [ "$answer" -eq 1 ] && kill -0 "$editor_pid" 2>/dev/null; then
      fail "the window did not answer for $hang_seconds s"
    fi
    [ "$answer" -le 1 ] || [ "$answer" -eq 3 ] || fail "cannot ping the window"
    bump pings
    next_ping=$((SECONDS + 2))
  fi
  window=$(top_window)
  [ -n "$window" ] || continue
  if [ "$window" != "$main_window" ] &&
    [[ "$(xdotool getwindowname "$window" 2>/dev/null || true)" =~ ^(Open|Save\ As|Save)$ ]]; then
    answer_file_dialog "$window"
  else
    # A window may close between finding it and the event (a menu, a box).
    random_event "$window" 2>/dev/null || true
  fi
  bump events
done

kill "$editor_pid" 2>/dev/null || true
wait "$editor_pid" 2>/dev/null || true
editor_pid=""
reports_clean || fail "sanitizer report"
echo "monkey: clean after $minutes minute(s), seed $seed"
for name in $(printf '%s\n' "${!count[@]}" | sort); do
  printf '  %-16s %d\n' "$name" "${count[$name]}"
done
rm -rf "$work"

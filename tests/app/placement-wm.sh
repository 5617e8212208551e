#!/usr/bin/env bash
# The window's placement on a desktop with a real window manager, measured
# from outside the program, as a user would see it:
#
#   placement-wm.sh PROGRAM WM        (WM: openbox, icewm, ...)
#
# On a private Xvfb with WM running, the program starts from a copy of its
# folder. With no stored position its frame must be centred in the work
# area by its real size; then it is closed with OK five times, and each time
# the frame must come back exactly where the file says and the file must
# keep exactly the frame's corner. Exits 77 (skipped) when a tool is absent.
set -uo pipefail
program=$1
wm=$2
for tool in Xvfb "$wm" xdotool xprop xwininfo wmctrl; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done

work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "FAIL ($wm): $*" >&2
  [ -s "$work/program.log" ] && tail -n 20 "$work/program.log" >&2
  exit 1
}

name=$(basename "$program")
cp "$program" "$(dirname "$program")/libUserDirKit.so" "$work/"
ini="$work/$name.ini"

exec 5< <(exec Xvfb -displayfd 6 -noreset -nolisten tcp -screen 0 1280x800x24 6>&1 2>/dev/null)
pids+=($!)
read -r -t 10 display <&5 || fail "Xvfb did not start"
export DISPLAY=:$display
unset WAYLAND_DISPLAY QT_QPA_PLATFORM
export HOME=$work XDG_CONFIG_HOME=$work/config
# Under AddressSanitizer the X and font libraries' own allocations, kept
# until exit, would turn every close into a failed exit.
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0"

"$wm" >"$work/wm.log" 2>&1 &
wm_pid=$!
pids+=($wm_pid)
# The manager is ready once it has announced itself and its work area on
# the root window. On a loaded machine (a fresh one building its font
# cache, the other tests running beside this one) that can take a while,
# so the wait is long and ends early only if the manager has died.
wm_ready() {
  xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' &&
    xprop -root _NET_WORKAREA 2>/dev/null | grep -q '= '
}
for _ in $(seq 600); do
  wm_ready && break
  kill -0 "$wm_pid" 2>/dev/null || break
  sleep 0.1
done
if ! wm_ready; then
  kill -0 "$wm_pid" 2>/dev/null || echo "$wm exited early" >&2
  tail -n 20 "$work/wm.log" >&2
  fail "$wm did not start"
fi

# The main window, once the manager has mapped and framed it.
main_window() {
  timeout 20 xdotool search --sync --onlyvisible --name ' 1\.02$' | head -n 1
}

# Prints "x y width height" of the frame around client window $1: the
# client's absolute position less the extents the manager put on it.
frame_of() {
  local id=$1 info extents
  for _ in $(seq 100); do
    extents=$(xprop -id "$id" _NET_FRAME_EXTENTS 2>/dev/null | grep -o '[0-9, ]*$')
    [ -n "$extents" ] && break
    sleep 0.05
  done
  [ -n "$extents" ] || fail "no _NET_FRAME_EXTENTS on the window"
  info=$(xwininfo -id "$id")
  local cx cy cw ch l r t b
  cx=$(awk '/Absolute upper-left X/ {print $4}' <<<"$info")
  cy=$(awk '/Absolute upper-left Y/ {print $4}' <<<"$info")
  cw=$(awk '/Width:/ {print $2}' <<<"$info")
  ch=$(awk '/Height:/ {print $2}' <<<"$info")
  IFS=', ' read -r l r t b <<<"$extents"
  echo "$((cx - l)) $((cy - t)) $((cw + l + r)) $((ch + t + b))"
}

# Asks the window to close through the manager, answers OK to the question.
close_with_ok() {
  local id=$1 pid=$2 box
  wmctrl -i -c "$id"
  box=$(timeout 20 xdotool search --sync --onlyvisible --name "^${name}\$" | head -n 1)
  [ -n "$box" ] || fail "no closing question"
  xdotool windowactivate --sync "$box" key Return
  timeout 20 tail --pid="$pid" -f /dev/null || fail "the program did not end after OK"
  wait "$pid" || fail "the program ended with $?"
}

ini_value() {  # key
  tr -d '\r' <"$ini" | awk -F= -v k="$1" '$1 == k {print $2; exit}'
}

# No stored position: centred by the frame's real size, from the screen
# origin, within the work area's size.
: >"$ini"
"$work/$name" 2>>"$work/program.log" &
pid=$!
id=$(main_window)
[ -n "$id" ] || fail "the window did not appear"
read -r fx fy fw fh < <(frame_of "$id")
read -r _ _ ww wh _ < <(xprop -root _NET_WORKAREA | grep -o '[0-9, ]*$' | tr ',' ' ')
ex=$(((ww - fw) / 2))
ey=$(((wh - fh) / 2))
echo "$wm: centred frame ${fw}x${fh} at $fx,$fy in a ${ww}x${wh} work area (expected $ex,$ey)"
[ "$fx,$fy" = "$ex,$ey" ] || fail "centred at $fx,$fy, expected $ex,$ey"
close_with_ok "$id" "$pid"
[ "$(ini_value left),$(ini_value top)" = "$fx,$fy" ] ||
  fail "stored $(ini_value left),$(ini_value top) for a frame at $fx,$fy"

# A stored position, five starts and closes: nothing creeps.
printf '[position]\r\nleft=100\r\ntop=120\r\n' >"$ini"
positions=()
for cycle in 1 2 3 4 5; do
  "$work/$name" 2>>"$work/program.log" &
  pid=$!
  id=$(main_window)
  [ -n "$id" ] || fail "the window did not appear (cycle $cycle)"
  read -r fx fy _ _ < <(frame_of "$id")
  positions+=("$fx,$fy")
  [ "$fx,$fy" = "100,120" ] || fail "cycle $cycle: frame at $fx,$fy, stored 100,120"
  close_with_ok "$id" "$pid"
  [ "$(ini_value left),$(ini_value top)" = "100,120" ] ||
    fail "cycle $cycle: stored $(ini_value left),$(ini_value top)"
done
echo "$wm: frame at ${positions[*]} over five cycles, stored 100,120 each time"

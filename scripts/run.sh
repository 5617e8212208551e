#!/usr/bin/env bash
# Sets up, builds, and starts the utility against the simulated unit.
#
# The simulated unit runs on a pseudo-terminal reachable as build/sim-tty;
# the settings file beside the program maps COM1 to it ([ports] com1=...)
# for this run only: the file is put back as it was (or removed, if there
# was none) when the script ends, however it ends. Without a display the
# window is rendered to build/window.png instead.
#
# run.sh --windows [options]: the Windows build under Wine instead
# (scripts/run-windows.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
if [ "${1:-}" = "--windows" ]; then
  shift
  exec ./scripts/run-windows.sh "$@"
fi
./scripts/setup.sh
cmake -S . -B build -G Ninja >/dev/null
cmake --build build --target zeta7 zeta7-sim zeta7-snapshot

bin=build/bin
program="$bin/ZETA-7設定ユーティリティ"
ini="$program.ini"
link="$PWD/build/sim-tty"

coproc SIM { exec "$bin/zeta7-sim" --link "$link" --quit-on-eof "$@"; }
sim_pid=$SIM_PID
# The settings file as it was, put back at the end.
saved=""
if [ -e "$ini" ]; then
  saved=$(mktemp)
  cp -p "$ini" "$saved"
fi
restore() {
  kill "$sim_pid" 2>/dev/null || true
  if [ -n "$saved" ]; then
    mv -f "$saved" "$ini"
  else
    rm -f "$ini"
  fi
}
trap restore EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
read -r -t 5 device <&"${SIM[0]}" || { echo "the simulated unit did not start" >&2; exit 1; }
echo "simulated unit on $device (as $link)"

# Point COM1 at the simulated unit, keeping the rest of the file.
touch "$ini"
awk -v dev="$link" '
  BEGIN { done = 0 }
  /^[ \t]*\[/ {
    if (inports && !done) { print "com1=" dev; done = 1 }
    inports = tolower($0) ~ /^[ \t]*\[[ \t]*ports[ \t]*\]/
  }
  inports && tolower($0) ~ /^[ \t]*com1[ \t]*=/ { if (!done) print "com1=" dev; done = 1; next }
  { print }
  END {
    if (inports && !done) { print "com1=" dev; done = 1 }
    if (!done) { print "[ports]"; print "com1=" dev }
  }' "$ini" > "$ini.new" && mv "$ini.new" "$ini"

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  "$program"
else
  echo "no display: rendering the connected window to build/window.png instead"
  "$bin/zeta7-snapshot" build/window.png --device "$link" --read
fi

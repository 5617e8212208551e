#!/usr/bin/env bash
# Runs the Windows test programs of a cross build under Wine.
#
#   scripts/wine-test.sh [WINDOWS_BUILD [LINUX_BUILD]]    (build-win, build)
#
# A fresh Wine prefix under the Windows build folder; the serial tests talk to
# zeta7-sim from the Linux build, started here on pseudo-terminals that Wine's
# port map makes COM5 (a sound unit), COM6 (a silent one) and COM7 (one that
# hangs up); COM8 leads to a device that does not exist; COM9 is the window
# program's own unit in its end-to-end run. Each program runs
# under a time limit; the closing line counts the tests that passed and
# failed, from GoogleTest's own summary (a fuzz corpus replay counts as one).
set -uo pipefail
cd "$(dirname "$0")/.."
win=$(realpath "${1:-build-win}")
linux=$(realpath "${2:-build}")
bin=$win/bin
sim=$linux/bin/zeta7-sim
list=$win/win-tests.txt
for need in "$list" "$sim"; do
  [ -e "$need" ] || { echo "wine-test: missing $need (build both first)" >&2; exit 2; }
done

export WINEPREFIX=$win/wine-prefix
export WINEDEBUG=-all
# No Mono or Gecko installers (they would wait for a dialog).
export WINEDLLOVERRIDES="mscoree=;mshtml="
unset WAYLAND_DISPLAY
# The dialog tests create real windows: a private X server of their own.
exec 5< <(Xvfb -displayfd 6 -nolisten tcp -screen 0 1280x1024x24 6>&1 2>/dev/null)
xvfb_pid=$!
read -r -t 10 display <&5 || { echo "wine-test: Xvfb did not start" >&2; exit 2; }
export DISPLAY=:$display

run=$win/wine-run
rm -rf "$WINEPREFIX" "$run"
mkdir -p "$run"
sim_pids=()
cleanup() {
  kill "$xvfb_pid" 2>/dev/null
  for pid in "${sim_pids[@]}"; do kill "$pid" 2>/dev/null; done
  wineserver -k 2>/dev/null
  wineserver -w 2>/dev/null
}
trap cleanup EXIT

start=$(date +%s)
timeout 120 wineboot -i >"$run/wineboot.log" 2>&1 || { echo "wine-test: wineboot failed" >&2; cat "$run/wineboot.log" >&2; exit 2; }
wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
# The dialog font and the system's Japanese face, or every glyph is a box;
# and windows the X server keeps no window manager's state for, or each
# hide waits two seconds for one.
for face in "ＭＳ ゴシック" "MS UI Gothic"; do
  wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v "$face" /t REG_SZ /d IPAGothic /f >/dev/null 2>&1
done
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1

# The simulated units, each on its own link, logging what they receive.
start_sim() {  # name args...
  local name=$1
  shift
  "$sim" --link "$run/$name" --log "$run/$name.log" "$@" >"$run/$name.out" 2>&1 &
  sim_pids+=($!)
}
start_sim sound
start_sim silent --silent
start_sim hangup --hangup
start_sim e2e
for _ in $(seq 50); do
  [ -e "$run/sound" ] && [ -e "$run/silent" ] && [ -e "$run/hangup" ] && [ -e "$run/e2e" ] && break
  sleep 0.1
done
map_port() {  # COMn device
  wine reg add 'HKLM\Software\Wine\Ports' /v "$1" /t REG_SZ /d "$2" /f >/dev/null 2>&1
}
map_port COM5 "$run/sound"
map_port COM6 "$run/silent"
map_port COM7 "$run/hangup"
map_port COM8 "$run/no-such-device"
map_port COM9 "$run/e2e"

# The units the tests start themselves (CSimProcess, the window's tests):
# COM1 leads to a fixed link that each of them takes while it runs, so every
# restart is reached through the same port. ZETA7_SIM is the Linux program
# they start.
map_port COM1 "$run/dialog-unit"
ZETA7_COM1_LINK=$(winepath -w "$run/dialog-unit" 2>/dev/null)
export ZETA7_COM1_LINK ZETA7_SIM=$sim
[ -n "$ZETA7_COM1_LINK" ] || { echo "wine-test: no Windows path for $run/dialog-unit" >&2; exit 2; }
# Wine hands a Unix program its arguments in the locale's charset: under C,
# all but ASCII would reach the unit as '?'.
[ "$(locale charmap 2>/dev/null)" = UTF-8 ] || export LC_ALL=C.UTF-8

# The port map is read when the wineserver starts.
wineserver -k
wineserver -w
# The wineserver takes the first pseudo-terminal it opens for a port as its
# controlling terminal and dumps all its objects on the hangup it gets when
# that unit exits (tests stop units): into a log of its own, not a test's;
# it stays up to 30 s after the last program, so the next one finds it.
wineserver -p30 2>"$run/wineserver.log"
export ZETA7_SIM_SOUND=5 ZETA7_SIM_SILENT=6 ZETA7_SIM_HANGUP=7 ZETA7_SIM_MISSING=8
ZETA7_SIM_SOUND_LOG=$(winepath -w "$run/sound.log" 2>/dev/null)
export ZETA7_SIM_SOUND_LOG
# The window program, driven from outside against a unit of its own.
ZETA7_E2E_PROGRAM=$(winepath -w "$bin/ZETA-7設定ユーティリティ.exe" 2>/dev/null)
ZETA7_E2E_LOG=$(winepath -w "$run/e2e.log" 2>/dev/null)
export ZETA7_E2E_PROGRAM ZETA7_E2E_LOG ZETA7_E2E_PORT=9
echo "== Wine prefix ready in $(($(date +%s) - start)) s"

passed=0
failed=0
note() {  # program passed failed
  passed=$((passed + $2))
  failed=$((failed + $3))
  printf '%-24s %4d passed %4d failed\n' "$1" "$2" "$3"
}
while read -r name limit; do
  [ -n "$name" ] || continue
  log=$run/$name.log
  timeout -k 10 "$limit" wine "$bin/$name.exe" --gtest_color=no >"$log" 2>&1
  rc=$?
  ok=$(sed -n 's/^\[  PASSED  \] \([0-9]*\) test.*/\1/p' "$log" | tail -1)
  bad=$(sed -n 's/^\[  FAILED  \] \([0-9]*\) test.*/\1/p' "$log" | tail -1)
  ok=${ok:-0}
  bad=${bad:-0}
  # A crash, a time-out or a bad exit with no failure counted is one failure.
  if [ "$rc" -ne 0 ] && [ "$bad" -eq 0 ]; then bad=1; fi
  note "$name" "$ok" "$bad"
  if [ "$bad" -ne 0 ]; then
    grep -E '^\[  FAILED  \]|Failure|error' "$log" | head -40
    [ "$rc" -eq 124 ] && echo "$name: timed out after $limit s"
  fi
done <"$list"

for target in fuzz_transact fuzz_param_reply fuzz_ini fuzz_decimal; do
  log=$run/$target.log
  if timeout -k 10 120 wine "$bin/$target.exe" "$(winepath -w "$PWD/fuzz/corpus/$target")" >"$log" 2>&1; then
    note "$target replay" 1 0
  else
    note "$target replay" 0 1
    tail -5 "$log"
  fi
done

# The port list runs and prints the listing's shape (Wine's SetupAPI knows
# no ports, so here that is the "none" line).
log=$run/zeta7-ports.log
if timeout -k 10 60 wine "$bin/zeta7-ports.exe" >"$log" 2>&1 &&
  grep -Eq '^(No serial devices found\.|COM[0-9]+ -> )' "$log"; then
  note "zeta7-ports runs" 1 0
else
  note "zeta7-ports runs" 0 1
  cat "$log"
fi

echo "== Windows tests under Wine: $passed passed, $failed failed ($(($(date +%s) - start)) s)"
[ "$failed" -eq 0 ]

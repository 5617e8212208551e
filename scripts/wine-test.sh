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
exec 5< <(Xvfb -displayfd 6 -noreset -nolisten tcp -screen 0 1280x1024x24 6>&1 2>/dev/null)
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

# zeta7ctl.exe's own units (the serial tests change the sound unit's
# values): two sound ones, one that says "OK" and stores nothing, and one
# that hangs up in its first reply.
start_sim ctl-a
start_sim ctl-b
start_sim ctl-nostore --no-store
start_sim ctl-hangup --hangup
for _ in $(seq 50); do
  [ -e "$run/ctl-a" ] && [ -e "$run/ctl-b" ] && [ -e "$run/ctl-nostore" ] && [ -e "$run/ctl-hangup" ] &&
    break
  sleep 0.1
done
map_port COM10 "$run/ctl-a"
map_port COM11 "$run/ctl-b"
map_port COM12 "$run/ctl-nostore"
map_port COM13 "$run/ctl-hangup"
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

# The port list runs and prints the listing's shape: the settings file, the
# ports Wine's port map makes (COM5 opens), the closing note.
log=$run/zeta7-ports.log
if LC_MESSAGES=C.UTF-8 LANGUAGE=ja timeout -k 10 60 wine "$bin/zeta7-ports.exe" >"$log" 2>&1 &&
  grep -q '^COM5  \\\\\.\\COM5' "$log" && grep -q 'より優先されます' "$log"; then
  note "zeta7-ports runs" 1 0
else
  note "zeta7-ports runs" 0 1
  cat "$log"
fi

# The window's placement, with Wine drawing the frame: centred in the work
# area by its outer size when nothing is stored, then five starts and
# closes with OK from a stored position, read from outside the program
# (the probe's GetWindowRect, and the X window Wine draws it in).
place=$run/placement
mkdir -p "$place"
cp "$bin/ZETA-7設定ユーティリティ.exe" "$bin/UserDirKit.dll" "$place/"
place_ini=$place/ZETA-7設定ユーティリティ.ini
place_ok=0
place_bad=0
place_fail() { place_bad=$((place_bad + 1)); echo "placement: FAILED: $*"; }
place_stored() { tr -d '\r' <"$place_ini" | awk -F= '$1 == "left" {l = $2} $1 == "top" {t = $2} END {print l "," t}'; }
# Starts the program, prints "WIDTHxHEIGHT X,Y" as the probe saw the frame,
# and closes the window with OK.
place_cycle() {
  local out x11
  out=$(timeout -k 10 60 wine "$bin/window-probe.exe" --keep --timeout 30 \
    --start "$(winepath -w "$place/ZETA-7設定ユーティリティ.exe")" "ZETA-7設定ユーティリティ" 2>/dev/null)
  x11=$(xwininfo -root -tree 2>/dev/null | grep -F '"ZETA-7設定ユーティリティ 1.02"' | grep -o '+-\?[0-9]*+-\?[0-9]*$' | head -n 1)
  timeout -k 10 60 wine "$bin/window-probe.exe" --timeout 30 "ZETA-7設定ユーティリティ" >/dev/null 2>&1
  sed -n 's/.*: \([0-9]*x[0-9]*\) at \(-\?[0-9]*,-\?[0-9]*\),.*/\1 \2/p' <<<"$out" | tr -d '\r'
  echo "${x11:-none}" | sed 's/^+//; s/+/,/'
}
: >"$place_ini"
{ read -r size at; read -r x11at; } < <(place_cycle)
w=${size%x*}
h=${size#*x}
expected="$(((1280 - w) / 2)),$(((1024 - h) / 2))"
echo "placement under Wine: centred frame $size at $at (X window at $x11at), expected $expected"
if [ "$at" = "$expected" ] && [ "$x11at" = "$at" ] && [ "$(place_stored)" = "$at" ]; then
  place_ok=$((place_ok + 1))
else
  place_fail "centred at $at (X $x11at), stored $(place_stored), expected $expected"
fi
printf '[position]\r\nleft=100\r\ntop=120\r\n' >"$place_ini"
seen=()
for cycle in 1 2 3 4 5; do
  { read -r size at; read -r x11at; } < <(place_cycle)
  seen+=("$at")
  if [ "$at" = "100,120" ] && [ "$x11at" = "100,120" ] && [ "$(place_stored)" = "100,120" ]; then
    place_ok=$((place_ok + 1))
  else
    place_fail "cycle $cycle: frame at $at (X $x11at), stored $(place_stored)"
  fi
done
echo "placement under Wine: frame at ${seen[*]} over five cycles"
note "window placement" "$place_ok" "$place_bad"

# zeta7ctl.exe end to end against the units on COM10..13 and the fault
# ports above; each check counts as one test.
ctl=$bin/zeta7ctl.exe
ctl_passed=0
ctl_failed=0
ctl_rc=0
ctl_step=0
ctl_out=
ctl_err=
# Runs zeta7ctl.exe with its output in files of its own step.
ctl_run() {
  ctl_step=$((ctl_step + 1))
  ctl_out=$run/ctl-$ctl_step.out
  ctl_err=$run/ctl-$ctl_step.err
  printf '%s\n' "$*" >"$run/ctl-$ctl_step.args"
  # The checks read the Japanese texts: the tools follow LANGUAGE as gettext does.
  LC_MESSAGES=C.UTF-8 LANGUAGE=ja timeout -k 10 60 wine "$ctl" "$@" >"$ctl_out" 2>"$ctl_err"
  ctl_rc=$?
}
# The same where the user's language is not Japanese (C.UTF-8 names none).
ctl_run_en() {
  ctl_step=$((ctl_step + 1))
  ctl_out=$run/ctl-$ctl_step.out
  ctl_err=$run/ctl-$ctl_step.err
  printf '%s\n' "$*" >"$run/ctl-$ctl_step.args"
  env -u LANGUAGE LC_ALL=C.UTF-8 timeout -k 10 60 wine "$ctl" "$@" >"$ctl_out" 2>"$ctl_err"
  ctl_rc=$?
}
# check WHAT COMMAND...: the command must succeed.
ctl_check() {
  local what=$1
  shift
  if "$@"; then
    ctl_passed=$((ctl_passed + 1))
  else
    ctl_failed=$((ctl_failed + 1))
    echo "zeta7ctl.exe: FAILED: $what (step $ctl_step: $(cat "$run/ctl-$ctl_step.args"), exit $ctl_rc)"
    sed 's/^/  out: /' "$ctl_out"
    sed 's/^/  err: /' "$ctl_err"
  fi
}
has() { grep -qF -- "$2" "$1"; }
ascii() { ! LC_ALL=C grep -qP '[\x80-\xff]' "$@"; }
exits() { [ "$ctl_rc" -eq "$1" ]; }
lines() { [ "$(wc -l <"$1")" -eq "$2" ]; }
win() { winepath -w "$1" 2>/dev/null; }

printf '[parameters]\nchannel=20\nid=4\nretry_count=-1\nretry_interval=500\n' >"$run/設定 プロファイル.ini"
profile=$(win "$run/設定 プロファイル.ini")
record=$(win "$run/記録.jsonl")
after='"after":{"channel":20,"id":4,"retry_count":-1,"retry_interval":500}'

ctl_run read -p COM10 --pace fast
ctl_check "read" exits 0
ctl_check "read: values" has "$ctl_out" 'チャネル 12, ID 3, リトライ回数 5, リトライ間隔[msec] 1000'
ctl_run write -p '\\.\COM10' --channel 30 --id 15 --retry 0 --interval 32767
ctl_check "write by device name" exits 0
ctl_check "write: read back" has "$ctl_out" '書き込み終了: チャネル 30, ID 15, リトライ回数 0, リトライ間隔[msec] 32767'

# Nothing reaches a unit on a usage error.
sent=$(wc -c <"$run/ctl-a.log")
ctl_run write -p COM10 -c 47 -i 0 -r 0 -t 0
ctl_check "out of range is a usage error" exits 2
ctl_run apply "$(win "$run/none.ini")" -p COM10
ctl_check "missing profile is a usage error" exits 2
ctl_run read -p COM10 -p '\\.\com10'
ctl_check "one device twice is a usage error" exits 2
ctl_check "usage errors sent nothing" [ "$(wc -c <"$run/ctl-a.log")" -eq "$sent" ]

# A profile and a record whose names are Japanese; two units in parallel.
ctl_run apply "$profile" -p COM10 -p COM11 --record "$record"
ctl_check "apply to two units" exits 0
ctl_check "apply: a record per unit" lines "$run/記録.jsonl" 2
ctl_check "apply: COM10 read back" grep -q "\"port\":\"COM10\".*$after.*\"outcome\":\"ok\"" "$run/記録.jsonl"
ctl_check "apply: COM11 read back" grep -q "\"port\":\"COM11\".*$after.*\"outcome\":\"ok\"" "$run/記録.jsonl"

# save writes a profile by a Japanese name that apply reads back.
ctl_run save -p COM11 "$(win "$run/保存.ini")" --pace fast
ctl_check "save" exits 0
ctl_check "save: the profile" [ "$(tr -d '\r' <"$run/保存.ini")" = "$(cat "$run/設定 プロファイル.ini")" ]

# Units that hold the values get no "S"; --check sends none either; a plan
# gives each unit its own values; scan finds the unit and skips the silent
# port; a trace has every byte.
sent=$(wc -c <"$run/ctl-a.log")
ctl_run apply "$profile" -p COM10 -p COM11 --json --pace fast
ctl_check "apply again: nothing to change" [ "$(grep -c '"changed":false' "$ctl_out")" -eq 2 ]
ctl_check "apply again: read, no S sent" [ "$(tail -c +$((sent + 1)) "$run/ctl-a.log" | tr -d '\r' | tr '\n' '|')" = '|V|R|' ]
ctl_run apply "$profile" -p COM12 --check --diff --json --pace fast
ctl_check "check: would change" grep -q '"changed":true,"check":true.*"diff":{"channel":{"before":12,"after":20}' "$ctl_out"
printf 'port,channel,id,retry_count,retry_interval\r\nCOM10,33,1,0,0\r\n"\\\\.\\COM11",34,2,infinite,7\r\n' >"$run/計画.csv"
ctl_run apply --plan "$(win "$run/計画.csv")" --json --pace fast --trace "$(win "$run/traces")\\"
ctl_check "plan: exit 0" exits 0
ctl_check "plan: COM10's own values" grep -q '"port":"COM10".*"after":{"channel":33,"id":1,"retry_count":0' "$ctl_out"
ctl_check "plan: COM11's own values" grep -q '"after":{"channel":34,"id":2,"retry_count":-1,"retry_interval":7}' "$ctl_out"
ctl_check "trace: a file a port" has "$run/traces/COM10.trace" $'\tCOM10\ttx\t"S 33 1 0 0\\r\\n"'
ctl_run scan -p COM10 -p COM6 --json --timeout 100
ctl_check "scan: exit 0" exits 0
ctl_check "scan: the unit" grep -q '"port":"COM10".*"version":"V1.02.03".*"outcome":"ok"' "$ctl_out"
ctl_check "scan: the silent port" grep -q '"port":"COM6".*"outcome":"skipped","error_code":"no_answer"' "$ctl_out"

# Faults: a unit that does not store, a silent one, a missing device, a
# unit that hangs up; the sound unit in the same batch is done.
ctl_run apply "$profile" -p COM12 -p COM6 -p COM8 -p COM13 -p COM11 --json --pace fast --timeout 300
ctl_check "faults: exit 1" exits 1
ctl_check "faults: a record per unit" lines "$ctl_out" 5
ctl_check "faults: the sound unit is done" grep -q '"port":"COM11".*"outcome":"ok"' "$ctl_out"
ctl_check "faults: OK without storing" has "$ctl_err" '書き込みに失敗しました COM12 (\\.\COM12): "OK" の後に読み戻した値が違います'
ctl_check "faults: silent" has "$ctl_err" 'ZETA-7と通信できません COM6 (\\.\COM6): 応答がありません'
ctl_check "faults: missing device" has "$ctl_err" 'COM8がオープンできません。 \\.\COM8: '
ctl_check "faults: hang-up" has "$ctl_err" 'COM13 (\\.\COM13): '
# The same faults in English: not a byte beyond ASCII on either stream or
# in the records (the names here are ASCII).
printf '[parameters]\nchannel=20\nid=4\nretry_count=-1\nretry_interval=500\n' >"$run/en.ini"
ctl_run_en apply "$(win "$run/en.ini")" -p COM12 -p COM6 -p COM8 --json --pace fast --timeout 300
ctl_check "English: exit 1" exits 1
ctl_check "English: OK without storing" has "$ctl_err" 'Writing failed COM12 (\\.\COM12): the values read back after "OK" differ'
ctl_check "English: silent" has "$ctl_err" 'Cannot communicate with the ZETA-7 COM6 (\\.\COM6): no reply'
ctl_check "English: ASCII only" ascii "$ctl_out" "$ctl_err"

# A named port the system does not know (an unplugged adapter's name) is a
# usage error, as on Linux: exit 2 and nothing sent to the other unit.
ctl_run read -p COM10 -p COM30 --json
ctl_check "missing port: exit 2" exits 2
ctl_check "missing port: named" has "$ctl_err" 'COM30がオープンできません。'
ctl_check "missing port: no record" lines "$ctl_out" 0

# The [ports] map of the settings file names a device for a number.
printf '[ports]\ncom20=\\\\.\\COM11\n' >"$run/ctl-settings.ini"
ctl_run info -p COM20 --settings "$(win "$run/ctl-settings.ini")"
ctl_check "info through the map" has "$ctl_out" 'COM20 (\\.\COM11): ファームウェアバージョン'

# A tool finds the window program's settings file beside itself by the
# program's Japanese name, as an installed copy does.
mkdir -p "$run/tools"
cp "$bin/zeta7-ports.exe" "$bin/UserDirKit.dll" "$run/tools/"
printf '[ports]\r\ncom21=\\\\.\\COM10\r\n' >"$run/tools/ZETA-7設定ユーティリティ.ini"
ctl_step=$((ctl_step + 1))
ctl_out=$run/ctl-$ctl_step.out
ctl_err=$run/ctl-$ctl_step.err
echo "zeta7-ports beside the settings file" >"$run/ctl-$ctl_step.args"
LC_MESSAGES=C.UTF-8 LANGUAGE=ja timeout -k 10 60 wine "$run/tools/zeta7-ports.exe" >"$ctl_out" 2>"$ctl_err"
ctl_rc=$?
ctl_check "settings beside: the file" has "$ctl_out" "設定ファイル: $(win "$run/tools/ZETA-7設定ユーティリティ.ini")"
ctl_check "settings beside: its map" has "$ctl_out" 'COM21  \\.\COM10 ([ports] com21)'

# Ctrl+C: Wine turns SIGINT into the console's Ctrl+C event. Sent once the
# first unit has its write command: that exchange ends, nothing new goes
# out, every unit has its record, exit 130.
rm -f "$run/記録.jsonl"
sent=$(wc -c <"$run/ctl-a.log")
ctl_step=$((ctl_step + 1))
ctl_out=$run/ctl-$ctl_step.out
ctl_err=$run/ctl-$ctl_step.err
echo "apply (Ctrl+C)" >"$run/ctl-$ctl_step.args"
# --foreground: timeout passes the signal on to wine alone; without it, it
# sends it to its process group as well, and wine sees two Ctrl+C.
LC_MESSAGES=C.UTF-8 LANGUAGE=ja timeout --foreground -k 10 60 wine "$ctl" apply "$profile" -p COM10 -p COM11 --record "$record" \
  --force >"$ctl_out" 2>"$ctl_err" &
ctl_pid=$!
for _ in $(seq 1000); do
  tail -c +$((sent + 1)) "$run/ctl-a.log" | grep -aq '^S 20 4 -1 500' && break
  sleep 0.01
done
kill -INT "$ctl_pid"
wait "$ctl_pid"
ctl_rc=$?
ctl_check "Ctrl+C: exit 130" exits 130
ctl_check "Ctrl+C: said so" has "$ctl_err" '中断しました'
ctl_check "Ctrl+C: a record per unit" lines "$run/記録.jsonl" 2
ctl_check "Ctrl+C: the write went out unverified" grep -q '"port":"COM10".*"outcome":"interrupted".*書き込み後、読み戻しの前' "$run/記録.jsonl"
ctl_check "Ctrl+C: no read-back sent" [ "$(tail -c +$((sent + 1)) "$run/ctl-a.log" | tr -d '\r' | tr '\n' '|')" = '|V|R|S 20 4 -1 500|' ]

# On a terminal Wine gives the program a console: the texts go out as
# characters (UTF-8 on the terminal, not the console code page's bytes)
# with the progress line.
ctl_step=$((ctl_step + 1))
ctl_out=$run/ctl-$ctl_step.out
ctl_err=$run/ctl-$ctl_step.err
echo "info on a console" >"$run/ctl-$ctl_step.args"
: >"$ctl_err"
# COM8's name is mapped and its device gone: a unit that fails (an unknown
# name would be a usage error, as on Linux).
LC_MESSAGES=C.UTF-8 LANGUAGE=ja timeout -k 10 60 script -qec "wine '$ctl' info -p COM10 -p COM8" /dev/null >"$ctl_out" </dev/null
ctl_rc=$?
ctl_check "console: exit 1" exits 1
ctl_check "console: the version line" has "$ctl_out" 'COM10 (\\.\COM10): ファームウェアバージョン V1.02.03'
ctl_check "console: the failure" has "$ctl_out" 'COM8がオープンできません。'
ctl_check "console: progress" has "$ctl_out" '1/2 台  完了 '
note "zeta7ctl.exe" "$ctl_passed" "$ctl_failed"

echo "== Windows tests under Wine: $passed passed, $failed failed ($(($(date +%s) - start)) s)"
[ "$failed" -eq 0 ]

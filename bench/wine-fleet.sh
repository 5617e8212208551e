#!/usr/bin/env bash
# The fleet figures of the Windows build under Wine, as zeta7-bench-fleet
# prints them on Linux, and the processor time of a 32-unit batch.
#
#   bench/wine-fleet.sh [WINDOWS_BUILD [LINUX_BUILD [RUNS]]]    (build-win, build, 5)
#
# Starts 32 zeta7-sim units (from the Linux build) at 38400 bit/s on links
# that a Wine prefix of its own maps to COM20..COM51, runs
# zeta7-bench-fleet.exe on them, then RUNS times "zeta7ctl.exe apply --pace
# fast" to all 32, and prints for each run the user and system time of the
# zeta7ctl process and of the wineserver (which carries every serial wait of
# a Wine program) and the units' mean elapsed time; then the medians.
# Prints figures; fails only when it cannot set up.
set -uo pipefail
cd "$(dirname "$0")/.."
win=$(realpath "${1:-build-win}")
linux=$(realpath "${2:-build}")
runs=${3:-5}
sim=$linux/bin/zeta7-sim
for need in "$win/bin/zeta7ctl.exe" "$win/bin/zeta7-bench-fleet.exe" "$sim"; do
  [ -e "$need" ] || { echo "wine-fleet: missing $need (build both first)" >&2; exit 2; }
done

export WINEPREFIX=$win/bench-prefix
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree=;mshtml="
unset WAYLAND_DISPLAY DISPLAY
run=$win/bench-run
rm -rf "$WINEPREFIX" "$run"
mkdir -p "$run"
sim_pids=()
server_pid=
cleanup() {
  for pid in "${sim_pids[@]}"; do kill "$pid" 2>/dev/null; done
  wineserver -k 2>/dev/null
  wineserver -w 2>/dev/null
}
trap cleanup EXIT

timeout 120 wineboot -i >"$run/wineboot.log" 2>&1 || { echo "wine-fleet: wineboot failed" >&2; exit 2; }
first=20
units=32
ports=()
devices=()
for i in $(seq 0 $((units - 1))); do
  "$sim" --baud 38400 --link "$run/unit$i" >"$run/unit$i.out" 2>&1 &
  sim_pids+=($!)
done
for i in $(seq 0 $((units - 1))); do
  for _ in $(seq 100); do [ -e "$run/unit$i" ] && break; sleep 0.1; done
  n=$((first + i))
  wine reg add 'HKLM\Software\Wine\Ports' /v "COM$n" /t REG_SZ /d "$run/unit$i" /f >/dev/null 2>&1
  ports+=(-p "COM$n")
  devices+=("\\\\.\\COM$n")
done
# The port map is read when the wineserver starts; this one stays until the
# end, in the foreground of its own process so that its times can be read.
wineserver -k
wineserver -w
wineserver -f -p 2>/dev/null &
server_pid=$!
sleep 1

echo "== zeta7-bench-fleet.exe under $(wine --version 2>/dev/null)"
# Into a file, not a pipe: the services Wine starts keep their copy of the
# first program's output open.
timeout 600 wine "$win/bin/zeta7-bench-fleet.exe" "${devices[@]}" >"$run/fleet.txt" 2>&1
tr -d '\r' <"$run/fleet.txt"

ticks=$(getconf CLK_TCK)
server_cpu() { awk -v t="$ticks" '{printf "%.3f %.3f", $14 / t, $15 / t}' "/proc/$server_pid/stat"; }
printf '[parameters]\nchannel=20\nid=4\nretry_count=-1\nretry_interval=500\n' >"$run/profile.ini"
profile=$(winepath -w "$run/profile.ini" 2>/dev/null)
echo
echo "== zeta7ctl.exe apply --pace fast to $units units, $runs runs"
printf '%4s %10s %10s %12s %12s %10s %14s %7s\n' run "ctl user" "ctl sys" "server user" "server sys" "wall s" "unit ms mean" failed
: >"$run/cpu.txt"
for r in $(seq "$runs"); do
  read -r su0 ss0 < <(server_cpu)
  /usr/bin/time -f '%U %S %e' -o "$run/time.txt" timeout 120 \
    wine "$win/bin/zeta7ctl.exe" apply "$profile" "${ports[@]}" --pace fast --json >"$run/apply.jsonl" 2>"$run/apply.err"
  read -r su1 ss1 < <(server_cpu)
  read -r cu cs wall <"$run/time.txt"
  mean=$(grep -o '"elapsed_ms":[0-9]*' "$run/apply.jsonl" | awk -F: '{s += $2; n++} END {printf "%.1f", n ? s / n : 0}')
  bad=$((units - $(grep -c '"outcome":"ok"' "$run/apply.jsonl")))
  su=$(awk -v a="$su0" -v b="$su1" 'BEGIN {printf "%.2f", b - a}')
  ss=$(awk -v a="$ss0" -v b="$ss1" 'BEGIN {printf "%.2f", b - a}')
  printf '%4d %10s %10s %12s %12s %10s %14s %7d\n' "$r" "$cu" "$cs" "$su" "$ss" "$wall" "$mean" "$bad"
  echo "$cu $cs $su $ss $wall $mean" >>"$run/cpu.txt"
done
median() { sort -n | awk '{v[NR] = $1} END {print v[int((NR + 1) / 2)]}'; }
col() { awk -v c="$1" '{print $c}' "$run/cpu.txt" | median; }
printf '%4s %10s %10s %12s %12s %10s %14s\n' med "$(col 1)" "$(col 2)" "$(col 3)" "$(col 4)" "$(col 5)" "$(col 6)"
total=$(awk '{print $1 + $2 + $3 + $4}' "$run/cpu.txt" | median)
echo "processor time of a batch (zeta7ctl + wineserver, user + system), median: $total s"

#!/usr/bin/env bash
# Start-up of the Windows program under Wine against the bare template:
# the same dialog template through the framework's plain CDialog, with its
# font and controls and no program logic (zeta7-template-dialog.exe).
#
#   bench/wine-startup.sh [WINDOWS_BUILD [RUNS]]    (build-win, 15)
#
# In a Wine prefix of its own on a private Xvfb, window-probe starts each
# program, reads how long its window took to show, and closes it as a user
# would; the two run in turn, run by run, after one start each that is not
# counted. Prints the medians and the ratio as zeta7-bench-startup does on
# Linux. Prints figures; fails only when it cannot set up.
set -uo pipefail
cd "$(dirname "$0")/.."
win=$(realpath "${1:-build-win}")
runs=${2:-15}
bin=$win/bin
for need in "$bin/ZETA-7設定ユーティリティ.exe" "$bin/zeta7-template-dialog.exe" "$bin/window-probe.exe"; do
  [ -e "$need" ] || { echo "wine-startup: missing $need (build first)" >&2; exit 2; }
done

export WINEPREFIX=$win/startup-prefix
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree=;mshtml="
unset WAYLAND_DISPLAY
exec 5< <(Xvfb -displayfd 6 -nolisten tcp -screen 0 1280x1024x24 6>&1 2>/dev/null)
xvfb_pid=$!
read -r -t 10 display <&5 || { echo "wine-startup: Xvfb did not start" >&2; exit 2; }
export DISPLAY=:$display
run=$win/startup-run
rm -rf "$WINEPREFIX" "$run"
mkdir -p "$run"
cleanup() {
  kill "$xvfb_pid" 2>/dev/null
  wineserver -k 2>/dev/null
  wineserver -w 2>/dev/null
}
trap cleanup EXIT

timeout 120 wineboot -i >"$run/wineboot.log" 2>&1 || { echo "wine-startup: wineboot failed" >&2; exit 2; }
for face in "ＭＳ ゴシック" "MS UI Gothic"; do
  wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v "$face" /t REG_SZ /d IPAGothic /f >/dev/null 2>&1
done
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
cp "$bin/ZETA-7設定ユーティリティ.exe" "$bin/UserDirKit.dll" "$bin/zeta7-template-dialog.exe" "$run/"
# The program keeps its settings beside itself, one file for all runs.
: >"$run/ZETA-7設定ユーティリティ.ini"

# Milliseconds until the window showed, as the probe saw it; empty on failure.
shown() {  # program
  timeout -k 10 60 wine "$bin/window-probe.exe" --timeout 30 --start "$(winepath -w "$run/$1" 2>/dev/null)" \
    "ZETA-7設定ユーティリティ" >"$run/probe.out" 2>/dev/null </dev/null
  tr -d '\r' <"$run/probe.out" | sed -n 's/^shown after \([0-9]*\) ms.*/\1/p'
}
modes=(zeta7 template)
programs=("ZETA-7設定ユーティリティ.exe" zeta7-template-dialog.exe)
for p in "${programs[@]}"; do shown "$p" >/dev/null; done
: >"$run/times.txt"
for _ in $(seq "$runs"); do
  for m in 0 1; do
    ms=$(shown "${programs[$m]}")
    [ -n "$ms" ] || { echo "wine-startup: ${modes[$m]} did not show" >&2; cat "$run/probe.out" >&2; exit 1; }
    echo "${modes[$m]} $ms" >>"$run/times.txt"
  done
done
median() { awk -v m="$1" '$1 == m {print $2}' "$run/times.txt" | sort -n | awk '{v[NR] = $1} END {print v[int((NR + 1) / 2)]}'; }
a=$(median zeta7)
b=$(median template)
echo "$(wine --version 2>/dev/null) on Xvfb, $runs runs each"
printf '%-12s %12s\n' window "median ms"
printf '%-12s %12.1f\n' zeta7 "$a" template "$b"
printf '%-12s %12.2f\n' "/ template" "$(awk -v a="$a" -v b="$b" 'BEGIN {print a / b}')"

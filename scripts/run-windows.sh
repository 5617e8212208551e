#!/usr/bin/env bash
# scripts/run.sh --windows: the Windows build under Wine against the
# simulated unit, for developers on Linux.
#
# zeta7-sim (from the Linux build) runs on a pseudo-terminal, build-win/sim-tty,
# which Wine's port map makes COM1, as a serial port is found on Windows.
# The Wine prefix build-win/wine-dev-prefix is kept between runs, so the
# program's settings stay in its %APPDATA%. Without a display the program
# runs on a virtual one and its window is saved to build-win/window.png.
# Options go to the simulated unit, as with run.sh.
set -euo pipefail
cd "$(dirname "$0")/.."
export LC_ALL=C.UTF-8
./scripts/setup.sh
cmake -S . -B build -G Ninja >/dev/null
cmake --build build --target zeta7-sim
cmake -S . -B build-win -G Ninja --no-warn-unused-cli -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake >/dev/null
cmake --build build-win --target zeta7 window-probe

bin=build-win/bin
program=$(cd "$bin" && ls -- ZETA-7*.exe)
name=${program%.exe}
link=$PWD/build-win/sim-tty
export WINEPREFIX=$PWD/build-win/wine-dev-prefix
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree=;mshtml=;winemenubuilder.exe="

pids=()
cleanup() {
  # Wine's processes would outlive a virtual display that goes away.
  [ -z "${headless:-}" ] || wineserver -k 2>/dev/null || true
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
}
trap cleanup EXIT

if [ -z "${DISPLAY:-}" ]; then
  rm -f build-win/xvfb-display
  Xvfb -displayfd 3 -noreset -screen 0 1280x800x24 -nolisten tcp 3>build-win/xvfb-display 2>/dev/null &
  pids+=($!)
  for _ in $(seq 50); do [ -s build-win/xvfb-display ] && break; sleep 0.1; done
  [ -s build-win/xvfb-display ] || { echo "Xvfb did not start" >&2; exit 1; }
  DISPLAY=":$(cat build-win/xvfb-display)"
  export DISPLAY
  headless=1
fi

if [ ! -d "$WINEPREFIX" ]; then
  echo "making the Wine prefix $WINEPREFIX"
  wineboot -i >/dev/null 2>&1
  # The dialog's Japanese font, or every glyph is a box (UTF-16 so the
  # names arrive whole).
  {
    printf 'Windows Registry Editor Version 5.00\r\n\r\n'
    printf '[HKEY_CURRENT_USER\\Software\\Wine\\Fonts\\Replacements]\r\n'
    printf '"ＭＳ ゴシック"="IPAGothic"\r\n"MS UI Gothic"="IPAGothic"\r\n'
    printf '"ＭＳ Ｐゴシック"="IPAPGothic"\r\n'
  } | iconv -f UTF-8 -t UTF-16 >build-win/fonts.reg
  wine regedit /S "$(winepath -w build-win/fonts.reg)"
fi

# With no window manager on the virtual display, Wine draws the frames itself.
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d "$([ -n "${headless:-}" ] && echo N || echo Y)" /f >/dev/null

coproc SIM { exec build/bin/zeta7-sim --link "$link" --quit-on-eof "$@"; }
pids+=("$SIM_PID")
read -r -t 5 device <&"${SIM[0]}" || { echo "the simulated unit did not start" >&2; exit 1; }
wine reg add 'HKLM\Software\Wine\Ports' /v COM1 /t REG_SZ /d "$link" /f >/dev/null
# The port map is read when the wineserver starts.
wineserver -k 2>/dev/null || true
wineserver -w
echo "simulated unit on $device (as $link), COM1 in Wine"

if [ -z "${headless:-}" ]; then
  wine "$bin/$program"
else
  echo "no display: the window goes to build-win/window.png"
  wine "$bin/$program" &
  pids+=($!)
  wine "$bin/window-probe.exe" --keep --timeout 60 "$name"
  import -window root build-win/window.png
  wine "$bin/window-probe.exe" --timeout 30 "$name"
fi
wineserver -w

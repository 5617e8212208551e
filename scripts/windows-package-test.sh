#!/usr/bin/env bash
# The Windows installer and portable zip, end to end under Wine.
#
#   scripts/windows-package-test.sh [WINDOWS_BUILD [LINUX_BUILD]]  (build-win, build)
#
# Builds both into WINDOWS_BUILD/dist (the cross build test.sh made), then in
# a fresh Wine prefix on a virtual X display: installs silently, checks the
# files, the Start-menu shortcut and the uninstall entry, runs the installed
# zeta7ctl.exe against a simulated unit (LINUX_BUILD's zeta7-sim on a
# pseudo-terminal that Wine's port map makes COM5), starts the program
# through the shortcut, waits for its window and closes it (it stores its
# settings in %APPDATA%), uninstalls silently and checks that only those
# settings are left. Then installs with /ADDTOPATH: the folder is on the
# user's PATH and a command prompt finds zeta7ctl.exe; the uninstaller takes
# that entry, and nothing else, out of PATH. Then unpacks the zip, runs its
# tools, starts the program there with a settings file beside it, and checks
# that this file is the one written.
set -euo pipefail
cd "$(dirname "$0")/.."
began=$SECONDS
win=$(realpath -m "${1:-build-win}")
linux=$(realpath -m "${2:-build}")
sim=$linux/bin/zeta7-sim
export LC_ALL=C.UTF-8  # Japanese file names and arguments pass to Wine as UTF-8

if [ ! -f "$win/build.ninja" ]; then
  cmake -S . -B "$win" -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DWITH_WERROR=ON
fi
cmake --build "$win" --target windows-dist window-probe
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$win/CMakeCache.txt")
setup=$win/dist/zeta7-$version-setup.exe
zip=$win/dist/zeta7-$version-portable.zip
payload=$win/packaging/windows/payload
program=$(cd "$payload" && ls -- *.exe | grep -vxF -e zeta7ctl.exe -e zeta7-ports.exe)
name=${program%.exe}
probe=$win/bin/window-probe.exe
for f in "$setup" "$zip" "$probe" "$sim"; do
  [ -f "$f" ] || { echo "windows-package-test: missing $f" >&2; exit 2; }
done
stat -c '%8s bytes  %n' "$setup" "$zip"

run=$win/wine-package-run
export WINEPREFIX=$win/wine-package-prefix
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree=;mshtml=;winemenubuilder.exe="
rm -rf "$WINEPREFIX" "$run"
mkdir -p "$run"

xvfb_pid=""
sim_pid=""
cleanup() {
  wineserver -k 2>/dev/null || true
  [ -z "$sim_pid" ] || kill "$sim_pid" 2>/dev/null || true
  [ -z "$xvfb_pid" ] || kill "$xvfb_pid" 2>/dev/null || true
}
trap cleanup EXIT
Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$run/display" 2>"$run/xvfb.log" &
xvfb_pid=$!
for _ in $(seq 50); do [ -s "$run/display" ] && break; sleep 0.1; done
[ -s "$run/display" ] || { echo "windows-package-test: Xvfb did not start" >&2; exit 2; }
DISPLAY=":$(cat "$run/display")"
export DISPLAY

failures=0
check() {  # description command...
  if "${@:2}"; then
    echo "ok    $1"
  else
    echo "FAIL  $1"
    failures=$((failures + 1))
  fi
}

timeout 120 wineboot -i >"$run/wineboot.log" 2>&1 || { echo "windows-package-test: wineboot failed" >&2; exit 2; }
# Registry files in UTF-16, so the Japanese font names arrive whole; without
# these replacements every Japanese glyph is a box (the dialog's font, the
# Japanese shell font, and the one the installer's language file names).
{
  printf 'Windows Registry Editor Version 5.00\r\n\r\n'
  printf '[HKEY_CURRENT_USER\\Software\\Wine\\Fonts\\Replacements]\r\n'
  printf '"ＭＳ ゴシック"="IPAGothic"\r\n"MS UI Gothic"="IPAGothic"\r\n'
  printf '"ＭＳ Ｐゴシック"="IPAPGothic"\r\n\r\n'
  printf '[HKEY_CURRENT_USER\\Software\\Wine\\WineDbg]\r\n"ShowCrashDialog"=dword:00000000\r\n'
} | iconv -f UTF-8 -t UTF-16 >"$run/prefix.reg"
wine regedit /S "$(winepath -w "$run/prefix.reg")"
# A simulated unit as COM5, for the installed zeta7ctl.exe; the port map is
# read when the wineserver starts.
"$sim" --link "$run/unit" --log "$run/unit.log" >"$run/unit.out" 2>&1 &
sim_pid=$!
for _ in $(seq 50); do [ -e "$run/unit" ] && break; sleep 0.1; done
wine reg add 'HKLM\Software\Wine\Ports' /v COM5 /t REG_SZ /d "$run/unit" /f >/dev/null 2>&1
wineserver -k
wineserver -w
echo "== Wine prefix ready after $((SECONDS - began)) s"

c=$WINEPREFIX/drive_c
installed="$c/Program Files/Quillbeck/ZETA-7"
shortcut="$c/ProgramData/Microsoft/Windows/Start Menu/Programs/$name.lnk"
key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Quillbeck ZETA-7'
win_installed='C:\Program Files\Quillbeck\ZETA-7'
settings_glob="users/*/AppData/Roaming/Quillbeck/ZETA-7/$name.ini"

uninstall_entry() {  # the key's values as UTF-8 lines, or nothing
  rm -f "$run/entry.reg"
  wine reg export "$key" "$(winepath -w "$run/entry.reg")" /reg:64 /y >/dev/null 2>&1 || return 0
  iconv -f UTF-16 -t UTF-8 "$run/entry.reg" | tr -d '\r'
}
has_value() {  # line
  grep -qxF -- "$1" "$run/entry.txt"
}
user_path() {  # the user's PATH as the registry holds it, or nothing
  wine reg query 'HKCU\Environment' /v Path 2>/dev/null | tr -d '\r' |
    sed -n 's/^ *Path *REG_[A-Z_]*SZ *//p'
}
set_user_path() {
  wine reg add 'HKCU\Environment' /v Path /t REG_EXPAND_SZ /d "$1" /f >/dev/null 2>&1
}
settings_file() {
  (cd "$c" && compgen -G "$settings_glob" | head -1) || true
}
start_and_close() {  # what-to-start log: the probe's lines, and its status
  local rc=0
  timeout 90 wine "$probe" --timeout 60 --start "$1" "$name" >"$2" 2>&1 || rc=$?
  sed 's/^/      /' "$2"
  return "$rc"
}

echo "== install: $(basename "$setup") /S"
check "installer is a 64-bit program" grep -q 'PE32+' <<<"$(file -b "$setup")"
check "installer ends with 0" timeout 120 wine "$setup" /S
check "program installed as built" cmp -s "$payload/$program" "$installed/$program"
check "UserDirKit.dll installed" cmp -s "$payload/UserDirKit.dll" "$installed/UserDirKit.dll"
check "zeta7ctl.exe installed" cmp -s "$payload/zeta7ctl.exe" "$installed/zeta7ctl.exe"
check "zeta7-ports.exe installed" cmp -s "$payload/zeta7-ports.exe" "$installed/zeta7-ports.exe"
if [ -f packaging/completion/zeta7ctl.ps1 ]; then
  check "PowerShell completion installed" cmp -s packaging/completion/zeta7ctl.ps1 "$installed/zeta7ctl.ps1"
fi
check "PATH left alone without /ADDTOPATH" test -z "$(user_path)"
check "so a command prompt does not find zeta7ctl.exe" bash -c \
  "! timeout 60 wine cmd /c 'zeta7ctl.exe --version' 2>/dev/null | grep -q '^zeta7ctl '"
check "uninstaller installed" test -f "$installed/uninstall.exe"
check "Start-menu shortcut" test -f "$shortcut"
uninstall_entry >"$run/entry.txt"
esc=${win_installed//\\/\\\\}
check "entry: DisplayName" has_value "\"DisplayName\"=\"$name\""
check "entry: DisplayVersion" has_value "\"DisplayVersion\"=\"$version\""
check "entry: Publisher" has_value '"Publisher"="Quillbeck"'
check "entry: DisplayIcon" has_value "\"DisplayIcon\"=\"$esc\\\\$program,0\""
check "entry: UninstallString" has_value "\"UninstallString\"=\"\\\"$esc\\\\uninstall.exe\\\"\""
check "entry: QuietUninstallString" has_value "\"QuietUninstallString\"=\"\\\"$esc\\\\uninstall.exe\\\" /S\""
check "entry: NoModify" has_value '"NoModify"=dword:00000001'
check "entry: NoRepair" has_value '"NoRepair"=dword:00000001'
check "entry: EstimatedSize in KB" grep -qE '^"EstimatedSize"=dword:0000(0[1-9a-f]|[1-9a-f][0-9a-f])[0-9a-f]{2}$' "$run/entry.txt"

echo "== the installed zeta7ctl.exe against the unit on COM5"
ctl_run() {  # log args...: C:\Program Files\Quillbeck\ZETA-7\zeta7ctl.exe args
  local log=$1
  shift
  timeout 60 wine "$win_installed\\zeta7ctl.exe" "$@" >"$run/$log.out" 2>"$run/$log.err"
}
check "zeta7ctl.exe read ends with 0" ctl_run read read -p COM5 --pace fast
check "read: the unit's values, in Japanese" grep -qF \
  'チャネル 12, ID 3, リトライ回数 5, リトライ間隔[msec] 1000' "$run/read.out"
check "zeta7ctl.exe write ends with 0" ctl_run write write -p COM5 -c 30 -i 4 -r 0 -t 500 --pace fast
check "write: read back" grep -qF 'チャネル 30, ID 4, リトライ回数 0, リトライ間隔[msec] 500' "$run/write.out"
check "the unit got the write" grep -q '^S 30 4 0 500' "$run/unit.log"
check "zeta7ctl.exe info --json ends with 0" ctl_run info info -p COM5 --json
check "info: a JSON line with the version" grep -q '"port":"COM5".*"version":"V1.02.03".*"outcome":"ok"' \
  "$run/info.out"
check "a missing port is an error" test "$(ctl_run missing read -p COM30; echo $?)" -ne 0

echo "== the installed program, started through its shortcut"
check "window shown and closed" start_and_close \
  "C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\$name.lnk" "$run/installed.txt"
user_settings=$(settings_file)
check "settings stored in %APPDATA%\\Quillbeck\\ZETA-7" test -n "$user_settings"
[ -z "$user_settings" ] || cp "$c/$user_settings" "$run/user-settings.ini"
check "no settings file beside the installed program" test ! -e "$installed/$name.ini"

echo "== uninstall: uninstall.exe /S"
check "uninstaller ends with 0" timeout 120 wine "$installed/uninstall.exe" /S
# The uninstaller runs on from a copy in %TEMP%; the wineserver ends with it.
timeout 120 wineserver -w
check "program folder removed" test ! -e "$installed"
check "maker folder removed" test ! -e "$c/Program Files/Quillbeck"
check "shortcut removed" test ! -e "$shortcut"
check "uninstall entry removed" test -z "$(uninstall_entry)"
check "user's settings kept" cmp -s "$run/user-settings.ini" "$c/$user_settings"

echo "== again, with a settings file the user put beside the installed program"
check "installer ends with 0" timeout 120 wine "$setup" /S
printf '[com]\r\ncom=2\r\n' >"$installed/$name.ini"
check "uninstaller ends with 0" timeout 120 wine "$installed/uninstall.exe" /S
timeout 120 wineserver -w
check "only that file is left in the program folder" test "$(ls -A "$installed")" = "$name.ini"
check "uninstall entry removed" test -z "$(uninstall_entry)"
rm -rf "$c/Program Files/Quillbeck"

echo "== with /ADDTOPATH: the folder on the user's PATH, and taken back"
set_user_path 'C:\before;C:\other'
check "installer /ADDTOPATH ends with 0" timeout 120 wine "$setup" /S /ADDTOPATH
check "PATH: the folder appended" test "$(user_path)" = "C:\\before;C:\\other;$win_installed"
wineserver -w
# A command prompt started afresh takes the user's PATH from the registry.
check "a command prompt finds zeta7ctl.exe" bash -c \
  "timeout 60 wine cmd /c 'zeta7ctl.exe --version' 2>/dev/null | grep -q '^zeta7ctl '"
# The user adds an entry of their own afterwards; it stays.
set_user_path "C:\\before;C:\\other;$win_installed;C:\\after"
check "uninstaller ends with 0" timeout 120 wine "$installed/uninstall.exe" /S
timeout 120 wineserver -w
check "PATH: only the folder taken out" test "$(user_path)" = 'C:\before;C:\other;C:\after'

echo "== with /ADDTOPATH, the folder on PATH already: left there"
set_user_path "$win_installed"
check "installer /ADDTOPATH ends with 0" timeout 120 wine "$setup" /S /ADDTOPATH
check "PATH: not added twice" test "$(user_path)" = "$win_installed"
check "uninstaller ends with 0" timeout 120 wine "$installed/uninstall.exe" /S
timeout 120 wineserver -w
check "PATH: the user's own entry kept" test "$(user_path)" = "$win_installed"

echo "== with /ADDTOPATH and no PATH of the user's: the value goes again"
wine reg delete 'HKCU\Environment' /v Path /f >/dev/null 2>&1 || true
check "installer /ADDTOPATH ends with 0" timeout 120 wine "$setup" /S /ADDTOPATH
check "PATH: the folder alone" test "$(user_path)" = "$win_installed"
check "uninstaller ends with 0" timeout 120 wine "$installed/uninstall.exe" /S
timeout 120 wineserver -w
check "PATH: no value left" test -z "$(user_path)"
rm -rf "$c/Program Files/Quillbeck"

echo "== the portable copy, with a settings file beside it"
portable=$c/portable
mkdir -p "$portable"
(cd "$portable" && cmake -E tar xf "$zip")
beside="$portable/ZETA-7/$name.ini"
check "zip holds the program, the DLL and the readme" test -f "$portable/ZETA-7/$program" -a \
  -f "$portable/ZETA-7/UserDirKit.dll" -a -f "$portable/ZETA-7/README.txt"
check "zip holds zeta7ctl.exe and zeta7-ports.exe" test -f "$portable/ZETA-7/zeta7ctl.exe" -a \
  -f "$portable/ZETA-7/zeta7-ports.exe"
check "zip's readme says how to put them on PATH" grep -q 'PATH' "$portable/ZETA-7/README.txt"
check "zip's zeta7-ports.exe lists COM5" bash -c \
  "timeout 60 wine 'C:\\portable\\ZETA-7\\zeta7-ports.exe' 2>/dev/null | grep -q '^COM5 '"
check "zip's zeta7ctl.exe reads the unit" bash -c \
  "timeout 60 wine 'C:\\portable\\ZETA-7\\zeta7ctl.exe' read -p COM5 --pace fast 2>/dev/null | grep -qF 'チャネル 30'"
printf '[com]\r\ncom=3\r\n[notes]\r\nkept=yes\r\n' >"$beside"
check "window shown and closed" start_and_close "C:\\portable\\ZETA-7\\$program" "$run/portable.txt"
check "position written to the file beside the program" grep -q '^left=' "$beside"
check "other lines of that file kept" grep -q '^kept=yes' "$beside"
check "settings in %APPDATA% untouched" cmp -s "$run/user-settings.ini" "$c/$user_settings"

echo "== windows-package-test: $failures failed, $((SECONDS - began)) s"
[ "$failures" -eq 0 ]

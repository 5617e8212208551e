#!/usr/bin/env bash
# Drives the bash completion of zeta7ctl and zeta7-ports as bash does on Tab:
# the words of a command line in COMP_WORDS, the function the completion
# registered, then COMPREPLY. The programs answer from their own table; the
# devices come from a tree of the test's own.
# Usage: CompletionTest.sh packaging/completion/zeta7ctl.bash BINDIR [MANDIR]
set -u
# shellcheck source=/dev/null
source "$1" || exit 1
PATH=$(cd "$2" && pwd):$PATH
# The manual pages: the source tree's beside the completion, or MANDIR.
man=${3:-$(cd "$(dirname "$1")/../../doc/man" && pwd)}
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
export ZETA7_DEVICE_ROOT=$root
mkdir -p "$root/dev/serial/by-id" "$root/work/site" "$root/sys/class/tty/ttyUSB0/device" \
  "$root/sys/class/tty/ttyACM0/device"
touch "$root/dev/ttyUSB0" "$root/dev/ttyACM0" "$root/work/b.ini" "$root/work/site/a.INI" \
  "$root/work/notes.txt" "$root/work/units.csv" "$root/work/r.jsonl"
ln -s ../../ttyUSB0 "$root/dev/serial/by-id/usb-Test-if00-port0"
export XDG_CONFIG_HOME=$root/config
mkdir -p "$XDG_CONFIG_HOME/Quillbeck/ZETA-7"
printf '# remembered\nCOM12 usb-Test-if00-port0\ncom3 ttyS0\n' \
  >"$XDG_CONFIG_HOME/Quillbeck/ZETA-7/com-numbers.conf"
cd "$root/work" || exit 1

failed=0
# check EXPECTED WORD...: completing the last word gives EXPECTED (sorted,
# blank-separated).
check() {
  local expected=$1 got command
  shift
  COMP_WORDS=("$@")
  COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
  COMP_LINE="$*"
  COMP_POINT=${#COMP_LINE}
  command=$(complete -p "$1" 2>/dev/null | sed -n 's/.*-F \([^ ]*\) .*/\1/p')
  [ -n "$command" ] || { echo "FAILED: no completion for $1"; failed=1; return; }
  COMPREPLY=()
  "$command"
  got=$(printf '%s\n' "${COMPREPLY[@]}" | LC_ALL=C sort | tr '\n' ' ' | sed 's/ $//')
  if [ "$got" != "$expected" ]; then
    echo "FAILED: $* -> '$got', not '$expected'"
    failed=1
  fi
}

check "apply help info ports read report save scan station write" zeta7ctl ""
check "--help --version" zeta7ctl --
check "read report" zeta7ctl re
check "read report" zeta7ctl help r
check "--channel --check" zeta7ctl write -p COM1 --ch
check "--all" zeta7ctl info --a
check "--json=false --json=true" zeta7ctl read --json=
check "--plan" zeta7ctl apply --pl
check "--again" zeta7ctl station --ag
check "b.ini site/" zeta7ctl station ""
check "--csv --help --version" zeta7ctl report --
check "--help --settings --version" zeta7ctl ports --
check "$root/dev/serial/by-id/usb-Test-if00-port0 $root/dev/ttyACM0 $root/dev/ttyUSB0 COM1 COM12 COM3" \
  zeta7ctl read -p ""
check "COM1 COM12 COM3" zeta7ctl read --port C
check "$root/dev/ttyACM0" zeta7ctl read -p "$root/dev/ttyA"
check "fast fixed" zeta7ctl read --pace f
check "19200" zeta7ctl read -b 1
check "infinite" zeta7ctl write --retry i
check "b.ini site/" zeta7ctl apply ""
check "site/a.INI" zeta7ctl save -p COM1 site/
check "b.ini site/" zeta7ctl read --settings ""
check "site/ units.csv" zeta7ctl apply --plan ""
check "" zeta7ctl write --channel ""
check "r.jsonl" zeta7ctl report r
check "--settings" zeta7-ports --s
check "--forget" zeta7-ports --f
check "COM12 COM3" zeta7-ports --forget ""
check "b.ini site/" zeta7-ports --settings ""

# Every option of the table is offered somewhere, and named in the man
# page: the table, the completion and the manual cannot drift apart.
for command in "" ports scan info read write save apply station report; do
  # shellcheck disable=SC2086
  zeta7ctl --complete -- $command --
done | sort -u >"$root/options"
[ "$(wc -l <"$root/options")" -ge 20 ] || { echo "FAILED: few options offered"; failed=1; }
for page in "$man/zeta7ctl.1" "$man/ja/zeta7ctl.1"; do
  [ -f "$page" ] || { echo "FAILED: no $page"; failed=1; continue; }
  while read -r option; do
    grep -q -- "${option//-/\\\\-}" "$page" || grep -q -- "$option" "$page" || {
      echo "FAILED: $page does not name $option"
      failed=1
    }
  done <"$root/options"
done
[ "$failed" -eq 0 ] && echo "bash completion: all checks passed"
exit "$failed"

# bash completion for zeta7ctl and zeta7-ports: subcommands, options, COM
# names and device paths, profile files. Self-contained: it needs nothing of
# the bash-completion package but the place it is loaded from.
# shellcheck disable=SC2207  # IFS is a line break wherever COMPREPLY is filled

# The devices worth offering: the by-id names first (they survive replugging),
# then the serial devices as COMn would count them. $ZETA7_DEVICE_ROOT stands
# in for the machine's tree as it does for the tools.
_zeta7ctl_devices() {
  local dev=${ZETA7_DEVICE_ROOT:+$ZETA7_DEVICE_ROOT}/dev f
  for f in "$dev"/serial/by-id/* "$dev"/ttyS[0-9]* "$dev"/ttyUSB[0-9]* "$dev"/ttyACM[0-9]*; do
    [ -e "$f" ] && printf '%s\n' "$f"
  done
}

# COM1.. for each device present, at least COM1 to COM4.
_zeta7ctl_com_names() {
  local n count
  count=$(_zeta7ctl_devices | grep -c -v /serial/by-id/)
  ((count < 4)) && count=4
  for ((n = 1; n <= count; n++)); do printf 'COM%d\n' "$n"; done
}

# Profiles: *.ini files and folders to descend into.
_zeta7ctl_profiles() {
  local IFS=$'\n'
  COMPREPLY+=($(compgen -d -S / -- "$1") $(compgen -f -X '!*.[iI][nN][iI]' -- "$1"))
}

_zeta7ctl() {
  local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD - 1]}
  local commands="ports scan info read write save apply station report"
  local common="--port --baud --pace --timeout --record --json --settings --trace --operator --help"
  local verb="" i IFS=$'\n'
  COMPREPLY=()
  for ((i = 1; i < COMP_CWORD; i++)); do
    case ${COMP_WORDS[i]} in
      ports | scan | info | read | write | save | apply | station | report) verb=${COMP_WORDS[i]} && break ;;
    esac
  done

  case $prev in
    -p | --port)
      # A path being typed is completed as any path is.
      if [[ $cur == /* ]]; then
        COMPREPLY=($(compgen -f -- "$cur"))
      else
        COMPREPLY=($(compgen -W "$(_zeta7ctl_com_names)"$'\n'"$(_zeta7ctl_devices)" -- "$cur"))
      fi
      return
      ;;
    -b | --baud)
      COMPREPLY=($(compgen -W $'38400\n19200\n9600\n4800' -- "$cur"))
      return
      ;;
    --pace)
      COMPREPLY=($(compgen -W $'fixed\nfast' -- "$cur"))
      return
      ;;
    -r | --retry)
      COMPREPLY=($(compgen -W infinite -- "$cur"))
      return
      ;;
    --settings)
      _zeta7ctl_profiles "$cur"
      return
      ;;
    --record | --trace)
      COMPREPLY=($(compgen -f -- "$cur"))
      return
      ;;
    --plan)
      local IFS=$'\n'
      COMPREPLY=($(compgen -d -S / -- "$cur") $(compgen -f -X '!*.[cC][sS][vV]' -- "$cur"))
      return
      ;;
    --timeout | -c | --channel | -i | --id | -t | --interval | --operator)
      return
      ;;
  esac

  if [ -z "$verb" ]; then
    IFS=' '
    COMPREPLY=($(compgen -W "$commands --help --version" -- "$cur"))
    return
  fi
  if [[ $cur == -* ]]; then
    local options="$common --all"
    case $verb in
      ports) options="--settings --help" ;;
      write) options="$options --channel --id --retry --interval --check --diff --force" ;;
      apply) options="$options --plan --check --diff --force" ;;
      station)
        options="--plan --check --diff --force --again --quiet --baud --pace --timeout --record"
        options="$options --json --settings --trace --operator --help"
        ;;
      report) options="--csv --help" ;;
      scan) options="--port --timeout --record --json --settings --trace --help" ;;
      save) options=$common ;;
    esac
    IFS=' '
    COMPREPLY=($(compgen -W "$options" -- "$cur"))
    return
  fi
  case $verb in
    save | apply | station) _zeta7ctl_profiles "$cur" ;;
    report)
      COMPREPLY=($(compgen -d -S / -- "$cur") $(compgen -f -X '!*.[jJ][sS][oO][nN]*' -- "$cur"))
      ;;
  esac
}

_zeta7_ports() {
  local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD - 1]}
  COMPREPLY=()
  if [ "$prev" = --settings ]; then
    _zeta7ctl_profiles "$cur"
  else
    COMPREPLY=($(compgen -W "--settings --help --version" -- "$cur"))
  fi
}

complete -o filenames -F _zeta7ctl zeta7ctl
complete -o filenames -F _zeta7_ports zeta7-ports

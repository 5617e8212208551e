# bash completion for zeta7ctl and zeta7-ports. The programs answer it
# themselves from their table of options (zeta7ctl --complete -- WORD...):
# subcommands, options, the COM names of present ports and device paths,
# profile and plan files. Self-contained: it needs nothing of the
# bash-completion package but the place it is loaded from.

_zeta7ctl() {
  local IFS=$'\n' program=${COMP_WORDS[0]}
  # The words after the program's name up to the one being completed.
  COMPREPLY=($("$program" --complete -- "${COMP_WORDS[@]:1:COMP_CWORD}" 2>/dev/null))
  # A folder is descended into: no blank after it.
  if [[ ${#COMPREPLY[@]} -eq 1 && ${COMPREPLY[0]} == */ ]]; then
    compopt -o nospace 2>/dev/null
  fi
  return 0
}

complete -o filenames -F _zeta7ctl zeta7ctl
complete -o filenames -F _zeta7ctl zeta7-ports

#!/usr/bin/env bash
# Tests what a user installs: the tree `cmake --install` makes under a staging
# prefix, then the .deb, installed with apt-get on this machine and removed
# again at the end (also when a check fails).
#
# Uses the build/ folder of scripts/test.sh (same options, so nothing is
# reconfigured). Needs root or sudo for apt-get; meant for a CI machine.
set -euo pipefail
cd "$(dirname "$0")/.."
started=$SECONDS

sudo_cmd=""
[ "$(id -u)" -eq 0 ] || sudo_cmd="sudo"
work=$(mktemp -d)
deb_installed=0
sim_pid=""
cleanup() {
  [ -z "$sim_pid" ] || kill "$sim_pid" 2>/dev/null || true
  if ((deb_installed)); then
    DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get purge -y -qq zeta7-devtools zeta7 >/dev/null ||
      true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "package-test: $*" >&2
  exit 1
}

# The programs get a private HOME: nothing reads or writes the user's settings.
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config"
unset XDG_RUNTIME_DIR
mkdir -p "$HOME"

./scripts/setup.sh
cmake -S . -B build -G Ninja -DWITH_WERROR=ON >/dev/null
cmake --build build
version=$(sed -n 's/^#define ZETA7_VERSION_STRING "\(.*\)"$/\1/p' build/res/version.h)
[ -n "$version" ] || fail "no version in build/res/version.h"
program_name="ZETA-7設定ユーティリティ"

# A staged tree must hold no path of the build: every RUNPATH is relative.
check_runpaths() {
  local file runpath
  for file in "$@"; do
    runpath=$(readelf -d "$file" | sed -n 's/.*(RUNPATH).*\[\(.*\)\]/\1/p')
    # shellcheck disable=SC2016  # a literal $ORIGIN
    case "$runpath" in
      "" | '$ORIGIN'*) ;;
      *) fail "$file: RUNPATH $runpath" ;;
    esac
    if ldd "$(readlink -f "$file")" | grep -q "not found"; then
      ldd "$(readlink -f "$file")" >&2
      fail "$file: a library is not found"
    fi
  done
}

# Every installed tool answers --help; those that have one print the version.
check_tools() {
  local bin=$1 tool
  for tool in zeta7-sim zeta7-snapshot zeta7-ports zeta7ctl; do
    [ -e "$bin/$tool" ] || continue
    "$bin/$tool" --help >/dev/null || fail "$tool --help"
  done
  for tool in zeta7-sim zeta7-snapshot zeta7ctl zeta7-ports; do
    [ -e "$bin/$tool" ] || continue
    [ "$("$bin/$tool" --version)" = "$tool $version" ] || fail "$tool --version"
  done
  # The program itself: both work without a display, and without one it
  # says so and ends with 1.
  env -u DISPLAY -u WAYLAND_DISPLAY "$bin/zeta7" --help >/dev/null || fail "zeta7 --help"
  [ "$(env -u DISPLAY -u WAYLAND_DISPLAY "$bin/zeta7" --version)" = "ZETA-7設定ユーティリティ $version" ] ||
    fail "zeta7 --version"
  local rc=0
  env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=xcb "$bin/zeta7" >/dev/null 2>&1 || rc=$?
  [ "$rc" -eq 1 ] || fail "zeta7 without a display ended with $rc, not 1"
}

# The window drawn headless, connected to the simulated unit and read: any
# message box would mean the installed pieces do not fit together.
check_snapshot() {
  local bin=$1 picture="$work/window.png" errors="$work/snapshot.err" device rc=0
  rm -f "$picture" "$work/sim-tty"
  coproc SIM { exec "$bin/zeta7-sim" --link "$work/sim-tty" --quit-on-eof; }
  # shellcheck disable=SC2153  # set by coproc
  sim_pid=$SIM_PID
  read -r -t 5 device <&"${SIM[0]}" || fail "the installed zeta7-sim did not start"
  QT_QPA_PLATFORM=offscreen "$bin/zeta7-snapshot" "$picture" --device "$work/sim-tty" --read \
    >/dev/null 2>"$errors" || rc=$?
  kill "$sim_pid" 2>/dev/null || true
  wait "$sim_pid" 2>/dev/null || true
  sim_pid=""
  ((rc == 0)) || fail "zeta7-snapshot exited $rc: $(cat "$errors")"
  ! grep '^box:' "$errors" || fail "zeta7-snapshot on $device showed a message box"
  file "$picture" | grep -q "PNG image data" || fail "zeta7-snapshot wrote no PNG"
}

# Started through bin/zeta7 as the desktop entry starts it, the window's
# WM_CLASS must be what StartupWMClass names and its title the Japanese name.
check_window() {
  local exe=$1 desktop=$2 wm_class title
  wm_class=$(sed -n 's/^StartupWMClass=//p' "$desktop")
  # shellcheck disable=SC2016  # expanded by the inner shell
  title=$(xvfb-run -a bash -c '
    "$1" 2>/dev/null &
    pid=$!
    for _ in $(seq 100); do
      for id in $(xwininfo -root -children | awk "/^ +0x/ {print \$1}"); do
        name=$(xprop -id "$id" _NET_WM_NAME 2>/dev/null)
        case "$name" in *ZETA-7*)
          xprop -id "$id" WM_CLASS | sed "s/.*, \"\(.*\)\"$/class=\1/"
          echo "$name" | sed "s/^[^\"]*\"\(.*\)\"$/title=\1/"
          kill $pid
          exit 0;;
        esac
      done
      sleep 0.1
    done
    kill $pid
    exit 1' _ "$exe") || fail "$exe showed no window under Xvfb"
  grep -qx "class=$wm_class" <<<"$title" || fail "WM_CLASS is not $wm_class: $title"
  grep -q "^title=$program_name " <<<"$title" || fail "window title: $title"
}

# Debian's hardening in every program and library: relocations read-only
# and bound at start, and the fortified C library calls where the code makes
# any (the window program and zeta7ctl do).
check_hardening() {
  local file
  for file in "$@"; do
    if [ ! -f "$file" ] || [ -L "$file" ]; then continue; fi
    # Read whole before grep -q looks: its early exit would kill readelf with
    # SIGPIPE, which pipefail takes for a failure.
    local headers dynamic
    headers=$(readelf -lW "$file")
    dynamic=$(readelf -dW "$file")
    grep -q GNU_RELRO <<<"$headers" || fail "$file: no RELRO"
    grep -Eq 'BIND_NOW|FLAGS_1.* NOW' <<<"$dynamic" || fail "$file: not bound at start (BIND_NOW)"
  done
  local symbols
  symbols=$(readelf --dyn-syms -W "$(dirname "$1")/zeta7ctl")
  grep -q '__[a-z_]*_chk' <<<"$symbols" || fail "zeta7ctl: no fortified calls"
}

# The completion is where bash-completion loads it from on the first Tab,
# and it completes there (the same checks as the build's test).
check_completion() {
  local share=$1 bash_completion=/usr/share/bash-completion/bash_completion
  [ -e "$share/bash-completion/completions/zeta7ctl" ] || fail "no bash completion for zeta7ctl"
  [ -e "$share/bash-completion/completions/zeta7-ports" ] || fail "no bash completion for zeta7-ports"
  bash tests/tools/CompletionTest.sh "$share/bash-completion/completions/zeta7ctl" >/dev/null ||
    fail "the installed completion does not complete"
  if [ "$share" = /usr/share ] && [ -e "$bash_completion" ]; then
    # shellcheck disable=SC2016  # expanded by the inner shell
    bash -c 'source "$1" && _completion_loader zeta7ctl && complete -p zeta7ctl' _ \
      "$bash_completion" | grep -q _zeta7ctl || fail "bash-completion does not load zeta7ctl's completion"
  fi
}

# The desktop entry starts bin/zeta7 of the prefix it was installed under.
check_data() {
  local share=$1 size
  grep -qxF "Exec=\"${share%/share}/bin/zeta7\"" "$share/applications/com.quillbeck.zeta7.desktop" ||
    fail "the desktop entry does not start ${share%/share}/bin/zeta7"
  desktop-file-validate "$share/applications/com.quillbeck.zeta7.desktop"
  appstreamcli validate --no-net "$share/metainfo/com.quillbeck.zeta7.metainfo.xml"
  for size in 16 22 24 32 48 64 128 256; do
    file "$share/icons/hicolor/${size}x$size/apps/zeta7.png" | grep -q ", $size x $size," ||
      fail "no $size px icon"
  done
}

# Checked in the staged tree only: container images often keep dpkg from
# unpacking manuals and documentation.
check_docs() {
  local share=$1 page
  for page in "$share"/man/man1/*.1.gz "$share"/man/ja/man1/*.1.gz; do
    [ -z "$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null)" ] ||
      fail "$page: man warns"
  done
  [ -e "$share/man/man1/zeta7.1.gz" ] || fail "no man page for zeta7"
  # Under a Japanese locale man finds the Japanese pages of the tools.
  for page in zeta7ctl zeta7-ports; do
    [ -e "$share/man/ja/man1/$page.1.gz" ] || fail "no Japanese man page for $page"
  done
  [ -s "$share/doc/zeta7/copyright" ] || fail "no copyright file"
}

echo "== staged install"
stage="$work/stage prefix"  # a blank in the path, as users' folders have
cmake --install build --prefix "$stage" >/dev/null
[ "$(readlink -f "$stage/bin/zeta7")" = "$(readlink -f "$stage/libexec/zeta7/$program_name")" ] ||
  fail "bin/zeta7 does not lead to the program"
check_runpaths "$stage/bin/"* "$stage/libexec/zeta7/"*
check_hardening "$stage/bin/"* "$stage/libexec/zeta7/"*
check_tools "$stage/bin"
check_completion "$stage/share"
check_snapshot "$stage/bin"
check_data "$stage/share"
check_docs "$stage/share"
check_window "$stage/bin/zeta7" "$stage/share/applications/com.quillbeck.zeta7.desktop"

echo "== Debian packages"
rm -f build/zeta7_*.deb build/zeta7-devtools_*.deb
(cd build && cpack -G DEB >/dev/null)
deb=$(ls build/zeta7_*.deb)
devdeb=$(ls build/zeta7-devtools_*.deb)
for package in "$deb" "$devdeb"; do
  echo "$package: $(stat -c %s "$package") bytes"
  echo "  Depends: $(dpkg-deb -f "$package" Depends)"
  lintian --fail-on error "$package" || fail "lintian finds errors in $package"
  # The private library asks for no ldconfig run.
  ! dpkg-deb -I "$package" | grep -Eq 'postinst|postrm|triggers' ||
    fail "$package has maintainer scripts or triggers"
done
# The user's package pulls in no test library; the development tools carry
# the snapshot tool that needs one.
! dpkg-deb -f "$deb" Depends | grep -qi 'test' || fail "zeta7 depends on a test library"
contents=$(dpkg-deb -c "$deb")
for path in ./usr/share/man/man1/zeta7.1.gz ./usr/share/man/man1/zeta7ctl.1.gz \
  ./usr/share/doc/zeta7/copyright ./usr/share/doc/zeta7/changelog.gz ./usr/bin/zeta7ctl \
  ./usr/bin/zeta7-ports ./usr/share/bash-completion/completions/zeta7ctl \
  ./usr/share/man/ja/man1/zeta7ctl.1.gz ./usr/share/man/ja/man1/zeta7-ports.1.gz; do
  grep -q " $path$" <<<"$contents" || fail "zeta7 lacks $path"
done
! grep -Eq ' ./usr/bin/zeta7-(sim|snapshot)$' <<<"$contents" || fail "zeta7 holds a development tool"
devcontents=$(dpkg-deb -c "$devdeb")
for path in ./usr/bin/zeta7-sim ./usr/bin/zeta7-snapshot ./usr/share/man/man1/zeta7-sim.1.gz \
  ./usr/share/doc/zeta7-devtools/copyright ./usr/share/doc/zeta7-devtools/changelog.gz; do
  grep -q " $path$" <<<"$devcontents" || fail "zeta7-devtools lacks $path"
done
dpkg-query -W -f='${Status}' zeta7 2>/dev/null | grep -q "ok installed" &&
  fail "zeta7 is installed already; this test would remove it"
deb_installed=1
# A machine whose package lists were never fetched cannot resolve Depends.
apt_install() {
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq "$@" >/dev/null 2>&1 || {
    $sudo_cmd apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq "$@" >/dev/null
  }
}
# The user's package alone first: everything in it works without the
# development tools.
apt_install "./$deb"
check_runpaths /usr/bin/zeta7 /usr/bin/zeta7ctl /usr/bin/zeta7-ports
check_tools /usr/bin
check_completion /usr/share
apt_install "./$devdeb"
check_runpaths /usr/bin/zeta7-sim /usr/bin/zeta7-snapshot
check_tools /usr/bin
check_snapshot /usr/bin
check_data /usr/share
check_window /usr/bin/zeta7 /usr/share/applications/com.quillbeck.zeta7.desktop
DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get remove -y -qq zeta7-devtools zeta7 >/dev/null
deb_installed=0
for path in /usr/bin/zeta7 /usr/bin/zeta7-sim /usr/libexec/zeta7; do
  [ ! -e "$path" ] || fail "apt-get remove left $path behind"
done
$sudo_cmd dpkg --purge zeta7-devtools zeta7 >/dev/null  # forget the removed packages entirely

echo "package test passed in $((SECONDS - started)) s"

#!/usr/bin/env bash
# Installs what the build and the tests need on Debian 12, when it is missing.
set -euo pipefail
packages=(build-essential cmake ninja-build pkg-config qt6-base-dev libgl-dev
          libgtest-dev libgmock-dev googletest libbenchmark-dev
          fonts-ipafont-gothic qt6-translations-l10n clang libclang-rt-14-dev clang-format
          xvfb xauth)
# The tests read the tools' JSON lines with nlohmann's parser, and so do
# zeta7ctl report and station (header-only, also for the Windows build).
packages+=(nlohmann-json3-dev)
# scripts/package-test.sh: the .deb's dependency list and checks of what gets installed
packages+=(dpkg-dev file lintian desktop-file-utils appstream man-db x11-utils)
# The Windows build (mingw-w64) and its tests under Wine.
packages+=(g++-mingw-w64-x86-64-posix mingw-w64-tools wine wine64)
# The Windows icon from the hicolor PNGs (icotool), the installer, and the
# package test's virtual display.
packages+=(icoutils nsis xvfb)
# The window's placement tests: real window managers on Xvfb, and the tools
# that measure and close the window from outside; the frame request's xcb.
packages+=(openbox icewm xdotool wmctrl x11-utils libxcb1-dev)
# The tools' Japanese catalogue (po/ja.po): msgfmt at build time, xgettext
# and msgcmp in its completeness test.
packages+=(gettext)
# run.sh --windows without a display: its screenshot.
packages+=(imagemagick)
# What a screen reader hears of the window: the accessibility bus, its
# client library, and a private session bus to run them on.
packages+=(at-spi2-core python3-pyatspi gir1.2-atspi-2.0 dbus-daemon)
# The configuration-engine collection's tests (ansible/): Debian's own engine,
# and the tools its sanity test runs offline (ansible-test's validate-modules,
# runtime-metadata, pylint, pep8 and yamllint).
packages+=(ansible-core python3-voluptuous pylint pycodestyle yamllint)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  sudo_cmd=""
  [ "$(id -u)" -eq 0 ] || sudo_cmd="sudo"
  $sudo_cmd apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

#!/usr/bin/env bash
# Sets up, cross-builds the Windows program with mingw-w64 into build-win/,
# and makes the installer and the portable zip in build-win/dist/.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup.sh
cmake -S . -B build-win -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
cmake --build build-win --target windows-dist
echo "== build-win/dist:"
stat -c '%8s bytes  %n' build-win/dist/*

#!/usr/bin/env bash
# Sets up, builds and runs every test: the Linux suite, then the Windows one.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup.sh
cmake -S . -B build -G Ninja -DWITH_WERROR=ON
cmake --build build
ctest --test-dir build --output-on-failure -j2
echo "== Linux suite done after $SECONDS s"

# The Windows build, cross-compiled, and its tests under Wine (the serial
# tests use zeta7-sim from the Linux build above).
cmake -S . -B build-win -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DWITH_WERROR=ON
cmake --build build-win
./scripts/wine-test.sh build-win build
echo "== Linux and Windows suites done after $SECONDS s"

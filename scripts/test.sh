#!/usr/bin/env bash
# Sets up, builds and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup.sh
cmake -S . -B build -G Ninja -DWITH_WERROR=ON
cmake --build build
ctest --test-dir build --output-on-failure -j2

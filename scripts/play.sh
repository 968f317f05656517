#!/usr/bin/env bash
# Sets up what building and playing need (no test tools), builds the player
# and starts it from the repository root, where data/, wav/ and resources/
# are found.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh play
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPLINKAR_BUILD_TESTS=OFF \
  -DPLINKAR_BUILD_BENCH=OFF
cmake --build build -j"$(nproc)" --target plinkar
exec build/plinkar "$@"

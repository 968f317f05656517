#!/usr/bin/env bash
# Sets up what is missing, builds, and starts the player from the
# repository root, where data/, wav/ and resources/ are found.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$(nproc)" --target plinkar
exec build/plinkar

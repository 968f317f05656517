#!/usr/bin/env bash
# Sets up what is missing, builds, and runs every test twice: once in the
# normal build, once built with AddressSanitizer and UndefinedBehaviorSanitizer
# (any report fails the run). Ends with ctest's summary.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
jobs=$(nproc)

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$jobs"
(cd build && ctest --output-on-failure -j"$jobs")

cmake -S . -B build-sanitize -DCMAKE_BUILD_TYPE=Debug -DPLINKAR_SANITIZE=ON \
  -DPLINKAR_BUILD_BENCH=OFF
cmake --build build-sanitize -j"$jobs"
export ASAN_OPTIONS=abort_on_error=0:detect_leaks=1
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
(cd build-sanitize && ctest --output-on-failure -j"$jobs")

#!/usr/bin/env bash
# Sets up what is missing, builds, and runs every test: the normal build, the
# fuzzers (clang, each for a minute from its seeds), and a build with
# AddressSanitizer and UndefinedBehaviorSanitizer where any report fails.
# Ends with ctest's summary.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
jobs=$(nproc)

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$jobs"
(cd build && ctest --output-on-failure -j"$jobs")

CC=clang CXX=clang++ cmake -S . -B build-fuzz -DPLINKAR_FUZZ=ON -DPLINKAR_BUILD_TESTS=OFF \
  -DPLINKAR_BUILD_BENCH=OFF -DPLINKAR_FUZZ_SECONDS="${FUZZ_SECONDS:-60}"
cmake --build build-fuzz -j"$jobs" --target fuzz_obj fuzz_ppm fuzz_bmp
(cd build-fuzz && ctest --output-on-failure -j"$jobs")

cmake -S . -B build-sanitize -DCMAKE_BUILD_TYPE=Debug -DPLINKAR_SANITIZE=ON \
  -DPLINKAR_BUILD_BENCH=OFF
cmake --build build-sanitize -j"$jobs"
export ASAN_OPTIONS=abort_on_error=0:detect_leaks=1
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0"
(cd build-sanitize && ctest --output-on-failure -j"$jobs")

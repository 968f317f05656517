#!/usr/bin/env bash
# Sets up what is missing, builds, and runs every test: the normal build, the
# Debian package, the fuzzers (clang, each for a minute from its seeds), the
# Windows program (cross-built, run under Wine), the sound and MIDI suites
# under ThreadSanitizer, and a build with AddressSanitizer and
# UndefinedBehaviorSanitizer where any report fails.
# Ends with ctest's summary.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
scripts/test-share.sh
jobs=$(nproc)

# The player's tests need an X server; a private Xvfb when none is given.
if [[ -z "${DISPLAY:-}" ]]; then
  export DISPLAY=:${PLINKAR_XVFB_DISPLAY:-87}
  Xvfb "$DISPLAY" -screen 0 1280x1024x24 -nolisten tcp -noreset >/dev/null 2>&1 &
  xvfb_pid=$!
  trap 'kill $xvfb_pid 2>/dev/null || true' EXIT
  for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
fi
# Sound goes nowhere in tests unless a test asks for SDL's disk driver.
export SDL_AUDIODRIVER=${SDL_AUDIODRIVER:-dummy}

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPLINKAR_BUILD_TESTS=ON -DPLINKAR_BUILD_BENCH=ON
cmake --build build -j"$jobs"
(cd build && ctest --output-on-failure -j"$jobs")

# The Debian package: built, validated, played unpacked, installed and removed.
scripts/test-package.sh

CC=clang CXX=clang++ cmake -S . -B build-fuzz -DPLINKAR_FUZZ=ON -DPLINKAR_BUILD_TESTS=OFF \
  -DPLINKAR_BUILD_BENCH=OFF -DPLINKAR_FUZZ_SECONDS="${FUZZ_SECONDS:-60}"
cmake --build build-fuzz -j"$jobs" --target fuzz_obj fuzz_ppm fuzz_bmp
(cd build-fuzz && ctest --output-on-failure -j"$jobs")

# The Windows program, cross-built with mingw-w64 and played under Wine.
scripts/build-windows.sh
scripts/test-windows.sh

# ThreadSanitizer on what runs on several threads at once: the sound call from
# the player's and MIDI's threads, the mixer's queue, MIDI input.
cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=Debug -DPLINKAR_TSAN=ON -DPLINKAR_BUILD_BENCH=OFF
cmake --build build-tsan -j"$jobs" --target sound_tests midi_tests
for suite in sound/sound_tests midi/midi_tests; do
  TSAN_OPTIONS=halt_on_error=1 "build-tsan/tests/$suite"
done

cmake -S . -B build-sanitize -DCMAKE_BUILD_TYPE=Debug -DPLINKAR_SANITIZE=ON \
  -DPLINKAR_BUILD_BENCH=OFF
cmake --build build-sanitize -j"$jobs"
export ASAN_OPTIONS=abort_on_error=0:detect_leaks=1
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0"
(cd build-sanitize && ctest --output-on-failure -j"$jobs")

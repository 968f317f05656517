#!/usr/bin/env bash
# scripts/test.sh [STAGE...]: sets up what is missing, builds and runs the
# tests of each stage named, all of them in this order by default (what CI
# runs):
#   style     clang-format on every C++ file; test code about 30 % of the C++
#   unit      the normal build with warnings as errors, and every GoogleTest
#             suite in it (the player's end to end under a private Xvfb)
#   package   the Debian package: built, validated, played unpacked,
#             installed and removed (needs the unit stage's build)
#   fuzz      each fuzz target for a minute from its seeds (clang)
#   windows   the Windows program, cross-built and played under Wine
#   tsan      ThreadSanitizer on what runs on several threads: the model
#             library's threaded reads, the sound call, the mixer's queue,
#             MIDI input
#   sanitize  AddressSanitizer and UndefinedBehaviorSanitizer on every suite
# Ends with the last stage's summary (ctest's for unit and sanitize).
set -euo pipefail
cd "$(dirname "$0")/.."

all=(style unit package fuzz windows tsan sanitize)
stages=("$@")
[[ ${#stages[@]} -gt 0 ]] || stages=("${all[@]}")
for stage in "${stages[@]}"; do
  [[ " ${all[*]} " == *" $stage "* ]] ||
    { echo "test.sh: no stage \"$stage\"; stages: ${all[*]}" >&2; exit 2; }
done
jobs=$(nproc)

scripts/setup.sh

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

style() {
  local unformatted
  unformatted=$(git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run 2>&1 |
    sed -n 's/^\([^:]*\):[0-9]*:[0-9]*: warning: code should be clang-formatted.*/\1/p' | sort -u)
  [[ -z $unformatted ]] ||
    { echo "style: not as clang-format writes them:"; echo "$unformatted"; return 1; }
  echo "style: every C++ file as clang-format writes it"
  scripts/test-share.sh
}

unit() {
  cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPLINKAR_BUILD_TESTS=ON \
    -DPLINKAR_BUILD_BENCH=ON -DPLINKAR_WERROR=ON
  cmake --build build -j"$jobs"
  (cd build && ctest --output-on-failure -j"$jobs")
}

package() { scripts/test-package.sh; }

fuzz() {
  CC=clang CXX=clang++ cmake -S . -B build-fuzz -DPLINKAR_FUZZ=ON -DPLINKAR_BUILD_TESTS=OFF \
    -DPLINKAR_BUILD_BENCH=OFF -DPLINKAR_FUZZ_SECONDS="${FUZZ_SECONDS:-60}"
  cmake --build build-fuzz -j"$jobs" --target fuzz_obj fuzz_ppm fuzz_bmp
  (cd build-fuzz && ctest --output-on-failure -j"$jobs")
}

windows() {
  scripts/build-windows.sh
  scripts/test-windows.sh
}

# The model library's tests that compare threaded reads, fits and normals
# with one thread force several threads even on small files; drawing goes
# through Mesa, which is not instrumented, so those tests are left out.
tsan() {
  cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=Debug -DPLINKAR_TSAN=ON -DPLINKAR_BUILD_BENCH=OFF \
    -DPLINKAR_WERROR=ON
  cmake --build build-tsan -j"$jobs" --target glm_tests sound_tests midi_tests
  export TSAN_OPTIONS=halt_on_error=1
  build-tsan/tests/glm_tests --gtest_filter='-Draw*' --gtest_brief=1
  for suite in sound/sound_tests midi/midi_tests; do
    "build-tsan/tests/$suite" --gtest_brief=1
  done
}

sanitize() {
  cmake -S . -B build-sanitize -DCMAKE_BUILD_TYPE=Debug -DPLINKAR_SANITIZE=ON \
    -DPLINKAR_BUILD_BENCH=OFF -DPLINKAR_WERROR=ON
  cmake --build build-sanitize -j"$jobs"
  (
    export ASAN_OPTIONS=abort_on_error=0:detect_leaks=1
    export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
    export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0"
    cd build-sanitize && ctest --output-on-failure -j"$jobs"
  )
}

for stage in "${stages[@]}"; do
  echo "test.sh: stage $stage"
  began=$SECONDS
  "$stage"
  echo "test.sh: stage $stage took $((SECONDS - began)) s"
done

#!/usr/bin/env bash
# Installs the Debian 12 packages the build and the tests need, only those
# that are missing. Uses sudo when not run as root.
#   scripts/setup.sh             what building, playing and testing need
#   scripts/setup.sh generators  also what tools/ needs to remake data/, wav/
#                                and resources/ (not needed to play or test)
set -euo pipefail

packages=(
  build-essential cmake pkg-config
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  libfast-float-dev libtinyobjloader-dev
  libgl-dev libglu1-mesa-dev libosmesa6-dev freeglut3-dev libsdl2-dev
  clang libclang-rt-14-dev
  xvfb xauth x11-utils xdotool imagemagick
)
if [[ "${1:-}" == generators ]]; then
  packages+=(fluidsynth fluid-soundfont-gm sox imagemagick fonts-nanum)
fi

"$(dirname "$0")/install-packages.sh" setup "${packages[@]}"

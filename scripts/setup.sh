#!/usr/bin/env bash
# Installs the Debian 12 packages a task needs, only those that are missing.
# Uses sudo when not run as root.
#   scripts/setup.sh play        what building and playing the player need
#   scripts/setup.sh package     that, and what building the Debian package needs
#   scripts/setup.sh             what building, packaging and every test need
#   scripts/setup.sh generators  also what tools/ needs to remake data/, wav/
#                                and resources/ (not needed to play or test)
set -euo pipefail

play=(build-essential cmake pkg-config libfast-float-dev
      libgl-dev libglu1-mesa-dev freeglut3-dev libsdl2-dev
      librtmidi-dev libasound2-dev libjack-jackd2-dev)
package=(dpkg-dev file)
tests=(libgtest-dev libgmock-dev googletest libbenchmark-dev libtinyobjloader-dev libsmf-dev
       libosmesa6-dev clang libclang-rt-14-dev
       xvfb xauth x11-utils xdotool libxtst-dev imagemagick
       lintian desktop-file-utils appstream man-db jackd2)

case "${1:-}" in
  play) packages=("${play[@]}") ;;
  package) packages=("${play[@]}" "${package[@]}") ;;
  generators) packages=("${play[@]}" "${package[@]}" "${tests[@]}"
                        fluidsynth fluid-soundfont-gm sox fonts-nanum) ;;
  *) packages=("${play[@]}" "${package[@]}" "${tests[@]}") ;;
esac

"$(dirname "$0")/install-packages.sh" setup "${packages[@]}"

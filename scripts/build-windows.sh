#!/usr/bin/env bash
# Cross-builds the Windows program with mingw-w64 (POSIX threads) and packs
# it: build-win/plinkar-windows.zip holds plinkar.exe, data/, wav/ and a
# readme. freeglut, SDL2 (audio only) and RtMidi come from Debian's source
# packages, freeglut and SDL2 built once as static libraries into
# build-win/freeglut and build-win/sdl2; RtMidi's two files are compiled into
# the program. Installs the Debian packages it needs.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
out=$root/build-win
jobs=$(nproc)
mkdir -p "$out"

now() { date +%s.%N; }
took() { awk -v a="$1" -v b="$(now)" 'BEGIN { printf "%.1f s", b - a }'; }

sudo=""
[[ $(id -u) -eq 0 ]] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive

# freeglut's source needs a deb-src line; it uses the keyring of the existing
# Debian entry, which apt requires to match.
t=$(now)
if ! grep -rqsE '^(deb-src|Types:.*deb-src)' /etc/apt/sources.list /etc/apt/sources.list.d/; then
  keyring=$(grep -hs '^Signed-By:' /etc/apt/sources.list.d/debian.sources | head -1 |
    awk '{ print $2 }')
  if [[ -n "$keyring" ]]; then
    printf 'Types: deb-src\nURIs: http://deb.debian.org/debian\nSuites: bookworm\nComponents: main\nSigned-By: %s\n' \
      "$keyring" | $sudo tee /etc/apt/sources.list.d/plinkar-deb-src.sources >/dev/null
  else
    echo 'deb-src http://deb.debian.org/debian bookworm main' |
      $sudo tee /etc/apt/sources.list.d/plinkar-deb-src.list >/dev/null
  fi
  fresh_sources=1
fi
packages=(g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 mingw-w64-x86-64-dev cmake make
          dpkg-dev zip libfast-float-dev)
"$root/scripts/install-packages.sh" build-windows ${fresh_sources:+--update} "${packages[@]}"
echo "build-windows: packages $(took "$t")"

toolchain=$root/cmake/mingw-w64-x86_64.cmake

# source_of PACKAGE DIR: Debian's source of PACKAGE unpacked in DIR/source;
# prints the folder.
source_of() {
  rm -rf "$2"
  mkdir -p "$2/source"
  (cd "$2/source" && apt-get source -q "$1" >/dev/null 2>&1) || true
  local src
  src=$(find "$2/source" -mindepth 1 -maxdepth 1 -type d | head -1)
  [[ -n $src ]] || { echo "build-windows: apt-get source $1 failed" >&2; return 1; }
  echo "$src"
}

freeglut=$out/freeglut
t=$(now)
if [[ ! -f $freeglut/install/lib/libfreeglut_static.a ]]; then
  src=$(source_of freeglut "$freeglut")
  cmake -S "$src" -B "$freeglut/build" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$freeglut/install" \
    -DFREEGLUT_BUILD_SHARED_LIBS=OFF -DFREEGLUT_BUILD_STATIC_LIBS=ON \
    -DFREEGLUT_BUILD_DEMOS=OFF >/dev/null
  cmake --build "$freeglut/build" -j"$jobs" >/dev/null
  cmake --install "$freeglut/build" >/dev/null
fi
echo "build-windows: freeglut $(took "$t")"

# SDL2 with its audio and what that needs; no video, input or rendering.
# Its dynamic API, a jump table that lets a newer SDL2.dll stand in for a
# program's own, means nothing in a static library and would pull in the
# video code: it is turned off in the copy built here.
sdl2=$out/sdl2
t=$(now)
if [[ ! -f $sdl2/install/lib/libSDL2.a ]]; then
  src=$(source_of libsdl2 "$sdl2")
  dynapi=$src/src/dynapi/SDL_dynapi.h
  grep -qx '#define SDL_DYNAMIC_API 1' "$dynapi" ||
    { echo "build-windows: SDL2's $dynapi no longer reads as expected"; exit 1; }
  sed -i 's/^#define SDL_DYNAMIC_API 1$/#define SDL_DYNAMIC_API 0/' "$dynapi"
  off=()
  for part in VIDEO RENDER JOYSTICK HAPTIC HIDAPI SENSOR POWER TEST SHARED CCACHE DIRECTX \
              RENDER_D3D VULKAN OPENGL OPENGLES; do
    off+=("-DSDL_$part=OFF")
  done
  cmake -S "$src" -B "$sdl2/build" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$sdl2/install" -DSDL_STATIC=ON \
    "${off[@]}" >/dev/null
  cmake --build "$sdl2/build" -j"$jobs" >/dev/null
  cmake --install "$sdl2/build" >/dev/null
fi
echo "build-windows: SDL2 $(took "$t")"

# RtMidi's sources, compiled into the program with its Windows MM backend.
rtmidi=$out/rtmidi
if [[ ! -f $rtmidi/RtMidi.cpp ]]; then
  src=$(source_of rtmidi "$rtmidi.tmp")
  mkdir -p "$rtmidi"
  cp "$src"/RtMidi.cpp "$src"/RtMidi.h "$src"/rtmidi_c.cpp "$src"/rtmidi_c.h "$src"/LICENSE "$rtmidi/"
  rm -rf "$rtmidi.tmp"
fi

# fast_float is header-only; its directory alone, not the host's include tree.
mkdir -p "$out/include"
ln -sfn /usr/include/fast_float "$out/include/fast_float"

t=$(now)
cmake -S "$root" -B "$out/plinkar" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
  -DCMAKE_BUILD_TYPE=Release -DFREEGLUT_ROOT="$freeglut/install" -DSDL2_ROOT="$sdl2/install" \
  -DRTMIDI_SOURCE="$rtmidi" -DFAST_FLOAT_DIR="$out/include" >/dev/null
cmake --build "$out/plinkar" -j"$jobs"
echo "build-windows: plinkar.exe $(took "$t")"

stage=$out/package/plinkar
rm -rf "$out/package" "$out/plinkar-windows.zip"
mkdir -p "$stage"
cp "$out/plinkar/plinkar.exe" "$stage/"
cp -r "$root/data" "$root/wav" "$stage/"
cat >"$stage/README.txt" <<'TEXT'
Plinkar 1.0 for Windows

Start plinkar.exe from this folder: it reads its models from data\ and its
sounds from wav\. The window "Plinkar" lists the keys; play in the window
"Plinkar player" after choosing an instrument with the right mouse button.

  Piano   z x c v b n m a s d f g h j k l ;
  Drums   Insert Home PageUp End PageDown
  Guitar  1 to 6

Arrow keys walk, the left mouse button turns the scene, the middle button
picks the material. File > Exit in the "Plinkar" window ends the program.

From a command prompt (plinkar.exe --help lists them all):

  --voices N           up to N sounds (1 to 32) ring together, with fades,
                       a limiter, MIDI note-offs and the sustain pedal;
                       1, the default, plays each sound through Windows'
                       own call, which cuts off the one before
  --midi-connect NAME  play from the first MIDI input device whose name
                       contains NAME; without it, from the first device
  --midi-list          list the MIDI input devices
  --play FILE.mid      play a MIDI file on the instruments
  --record FILE.mid    write what is played to FILE.mid when the program ends

What differs from the Linux program: MIDI input opens a device (Windows has
no MIDI ports for other programs to connect to), there is no JACK, and with
one voice a cut sound stops at once instead of fading.
TEXT
sed -i 's/$/\r/' "$stage/README.txt"
(cd "$out/package" && zip -qr "$out/plinkar-windows.zip" plinkar)
echo "build-windows: $(du -h "$out/plinkar-windows.zip" | cut -f1) in build-win/plinkar-windows.zip"

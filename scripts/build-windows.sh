#!/usr/bin/env bash
# Cross-builds the Windows program with mingw-w64 (POSIX threads) and packs
# it twice: build-win/plinkar-windows.zip holds plinkar.exe, data/, wav/, a
# readme, the licence and the notices of what the exe holds; the installer
# build-win/plinkar-<version>-win64.exe (NSIS) installs the same. freeglut, SDL2 (audio only) and RtMidi come from Debian's source
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
          dpkg-dev python3 nsis libfast-float-dev)
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
# video code: it is turned off in the copy built here. SDL's own C library
# functions stand in for the C runtime's (as in its MSVC builds), which
# spares its configure step a minute of checks for them.
sdl2=$out/sdl2
t=$(now)
if [[ ! -f $sdl2/install/lib/libSDL2.a ]]; then
  src=$(source_of libsdl2 "$sdl2")
  dynapi=$src/src/dynapi/SDL_dynapi.h
  grep -qx '#define SDL_DYNAMIC_API 1' "$dynapi" ||
    { echo "build-windows: SDL2's $dynapi no longer reads as expected"; exit 1; }
  sed -i 's/^#define SDL_DYNAMIC_API 1$/#define SDL_DYNAMIC_API 0/' "$dynapi"
  off=()
  for part in VIDEO RENDER JOYSTICK HAPTIC HIDAPI SENSOR POWER TEST SHARED CCACHE DIRECTX LIBC \
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
# Its licence for the notices comes from Debian's copyright file.
mkdir -p "$out/include"
ln -sfn /usr/include/fast_float "$out/include/fast_float"
{
  echo "Copyright (c) 2020-2023 The fast_float authors (Daniel Lemire and others)"
  echo
  sed -n '/^License: *Expat$/,/^$/p' /usr/share/doc/libfast-float-dev/copyright |
    sed '1d; s/^ //; s/^\.$//'
} >"$out/include/fast_float-LICENSE"

t=$(now)
cmake -S "$root" -B "$out/plinkar" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
  -DCMAKE_BUILD_TYPE=Release -DFREEGLUT_ROOT="$freeglut/install" -DSDL2_ROOT="$sdl2/install" \
  -DRTMIDI_SOURCE="$rtmidi" -DFAST_FLOAT_DIR="$out/include" \
  -DPLINKAR_WINDOWS_STAGE="$out/package/plinkar" >/dev/null
cmake --build "$out/plinkar" -j"$jobs"
echo "build-windows: plinkar.exe $(took "$t")"

# The program's folder, as the zip and the installer both hold it.
stage=$out/package/plinkar
rm -rf "$out/package" "$out"/plinkar-windows.zip "$out"/plinkar-*-win64.exe
mkdir -p "$stage"
cp "$out/plinkar/plinkar.exe" "$stage/"
cp -r "$root/data" "$root/wav" "$stage/"
sed 's/$/\r/' "$root/LICENSE" >"$stage/LICENSE.txt"
sed 's/$/\r/' "$root/packaging/windows/README.txt" >"$stage/README.txt"
# Notices of what the exe holds besides the project's own code; the sounds'
# is in wav/.
notices() {
  local title file
  while (($#)); do
    title=$1 file=$2
    shift 2
    printf '%s\n%s\n\n' "$title" "$(printf '%s' "$title" | tr '[:print:]' '=')"
    sed 's/\r$//' "$file"
    printf '\n\n'
  done
}
notices \
  "freeglut (statically linked)" "$(find "$freeglut/source" -maxdepth 2 -name COPYING | head -1)" \
  "SDL2 (statically linked)" "$(find "$sdl2/source" -maxdepth 2 -name LICENSE.txt | head -1)" \
  "RtMidi (compiled in)" "$rtmidi/LICENSE" \
  "fast_float (compiled in; offered under MIT or Apache-2.0, used under MIT)" \
  "$root/build-win/include/fast_float-LICENSE" \
  "The sounds in wav\\ (FluidR3 GM soundfont)" "$root/wav/COPYING.fluid-soundfont" |
  sed 's/$/\r/' >"$stage/NOTICES.txt"

# Names as UTF-8 with the flag that says so (bit 11), which Windows' own
# extractor and every other that follows the format read: the guitar's
# Korean file names come out right. Info-ZIP's zip leaves the flag off;
# Python's zipfile sets it for every name that is not ASCII.
python3 - "$out/package" "$out/plinkar-windows.zip" <<'PYTHON'
import os, sys, zipfile
top, path = sys.argv[1], sys.argv[2]
with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED, compresslevel=9) as archive:
    for folder, folders, files in os.walk(top):
        folders.sort()
        for name in sorted(files):
            archive.write(os.path.join(folder, name), os.path.relpath(os.path.join(folder, name), top))
PYTHON
echo "build-windows: $(du -h "$out/plinkar-windows.zip" | cut -f1) in build-win/plinkar-windows.zip"

# The installer, from the same folder (CPack's NSIS generator).
t=$(now)
(cd "$out/plinkar" && cpack -G NSIS >"$out/cpack.log" 2>&1) ||
  { echo "build-windows: cpack failed:"; cat "$out/cpack.log"; exit 1; }
installer=$(ls "$out"/plinkar/plinkar-*-win64.exe)
mv "$installer" "$out/"
echo "build-windows: installer $(took "$t"), $(du -h "$out/$(basename "$installer")" | cut -f1) in build-win/$(basename "$installer")"

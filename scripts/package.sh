#!/usr/bin/env bash
# Builds the Debian package: build-package/plinkar_<version>_amd64.deb, with
# its Depends worked out from the binaries. Prints the package's path.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh package
# Debian's own compiler and linker flags, hardened, without debug information
# (the package ships stripped programs and the library without it).
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
flags() { dpkg-buildflags --get "$1" | sed -E 's/(^| )-g( |$)/ /'; }
cmake -S . -B build-package -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
  -DPLINKAR_BUILD_TESTS=OFF -DPLINKAR_BUILD_BENCH=OFF \
  -DCMAKE_CXX_FLAGS="$(flags CXXFLAGS) $(flags CPPFLAGS)" \
  -DCMAKE_C_FLAGS="$(flags CFLAGS) $(flags CPPFLAGS)" \
  -DCMAKE_EXE_LINKER_FLAGS="$(flags LDFLAGS)" >/dev/null
cmake --build build-package -j"$(nproc)" --target plinkar objtool plinkar_glm plinkar_image \
  plinkar_compressed_docs
(cd build-package && cpack -G DEB >/dev/null)
ls "$PWD"/build-package/plinkar_*_amd64.deb

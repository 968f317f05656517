#!/usr/bin/env bash
# Builds the Debian packages in build-package/: plinkar (the programs, menu
# entry, icons, metadata, manual pages; Depends worked out from the
# binaries), plinkar-data (models, sounds, pictures; Architecture all) and
# libplinkar-glm-dev (the model library). Their version names the commit,
# 1.0+git<date>.<time>.<hash> in UTC, so a build of a newer commit upgrades an
# older one; a tree with uncommitted changes adds ".dirty<seconds now>". Two builds
# of one commit give the same bytes (SOURCE_DATE_EPOCH is the commit's time).
# Prints the three packages' paths. `scripts/package.sh --version [REV]`
# prints the version a build of REV (HEAD by default) gets, and builds nothing.
set -euo pipefail
cd "$(dirname "$0")/.."

# version_of REV: the packages' version for commit REV.
version_of() {
  local stamp
  stamp=$(TZ=UTC git log -1 --format=%cd --date=format-local:%Y%m%d.%H%M%S "$1")
  echo "$base+git$stamp.$(git rev-parse --short=7 "$1")"
}
base=$(sed -n 's/^project(plinkar .*VERSION \([0-9.]*\)).*/\1/p' CMakeLists.txt)
if [[ ${1:-} == --version ]]; then
  version_of "${2:-HEAD}"
  exit
fi

scripts/setup.sh package
if git rev-parse --verify -q HEAD >/dev/null 2>&1; then
  SOURCE_DATE_EPOCH=$(git log -1 --format=%ct)
  version=$(version_of HEAD)
  git diff --quiet HEAD -- 2>/dev/null || version+=".dirty$(date +%s)"
else
  SOURCE_DATE_EPOCH=$(stat -c %Y CMakeLists.txt)
  version=$base
fi
export SOURCE_DATE_EPOCH

# Debian's own compiler and linker flags, hardened, without debug information
# (the packages ship stripped programs and the library without it); the
# build folder's name kept out of the binaries.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
flags() { dpkg-buildflags --get "$1" | sed -E 's/(^| )-g( |$)/ /'; }
prefix_map="-ffile-prefix-map=$PWD=."
cmake -S . -B build-package -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
  -DPLINKAR_BUILD_TESTS=OFF -DPLINKAR_BUILD_BENCH=OFF -DPLINKAR_PACKAGE_VERSION="$version" \
  -DCMAKE_CXX_FLAGS="$(flags CXXFLAGS) $(flags CPPFLAGS) $prefix_map" \
  -DCMAKE_C_FLAGS="$(flags CFLAGS) $(flags CPPFLAGS) $prefix_map" \
  -DCMAKE_EXE_LINKER_FLAGS="$(flags LDFLAGS)" >/dev/null
cmake --build build-package -j"$(nproc)" --target plinkar objtool plinkar_glm plinkar_image \
  plinkar_compressed_docs
rm -f build-package/*.deb
(cd build-package && cpack -G DEB >/dev/null)
for package in plinkar plinkar-data libplinkar-glm-dev; do
  ls "$PWD"/build-package/"${package}_${version}"_*.deb
done

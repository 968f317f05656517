#!/usr/bin/env bash
# Builds the three Debian packages and checks them as a user, a packager and
# a programmer meet them: what each holds and depends on; a version that
# names the commit and upgrades the previous commit's; the same bytes from a
# second build; the metadata validators and lintian (no errors, no
# warnings); the unpacked player started from an unrelated folder, played
# under X with its windows' class, process id and icon (end-to-end checks on
# the installed files); --help, --version (objtool's too), --voices,
# --midi-list and a start without data; an outside CMake project and a
# pkg-config build against the installed library; and a real install and
# removal that leaves nothing behind.
# Needs DISPLAY and build/tests/e2e/e2e_tests (scripts/test.sh makes both).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

mapfile -t debs < <(scripts/package.sh | tail -3)
fail() { echo "test-package: $*" >&2; exit 1; }
[[ ${#debs[@]} == 3 ]] || fail "scripts/package.sh did not print three packages"
player_deb=${debs[0]} data_deb=${debs[1]} dev_deb=${debs[2]}
field() { dpkg-deb -f "$1" "$2"; }
for deb in "${debs[@]}"; do
  echo "package: $(basename "$deb") ($(stat -c %s "$deb") bytes): $(field "$deb" Depends)"
done

# What goes where: programs, data and the library each in their own package.
[[ $(field "$player_deb" Package) == plinkar ]] || fail "first package is not plinkar"
[[ $(field "$data_deb" Package) == plinkar-data ]] || fail "second package is not plinkar-data"
[[ $(field "$dev_deb" Package) == libplinkar-glm-dev ]] || fail "third is not libplinkar-glm-dev"
[[ $(field "$data_deb" Architecture) == all ]] || fail "plinkar-data is not Architecture: all"
version=$(field "$player_deb" Version)
[[ $(field "$player_deb" Depends) == *"plinkar-data (= $version)"* ]] ||
  fail "plinkar does not depend on its own version of plinkar-data"
[[ $(field "$player_deb" Depends) == *librtmidi* ]] || fail "Depends lacks RtMidi's library"
[[ $(field "$dev_deb" Depends) == *libgl-dev* ]] || fail "libplinkar-glm-dev lacks libgl-dev"
contents() { dpkg-deb -c "$1" | awk '{ print $6 }' | grep -v '/$'; }
[[ -z $(contents "$data_deb" | grep -v '^./usr/share/') ]] || fail "plinkar-data holds more than data"
[[ -z $(contents "$player_deb" | grep -E '^./usr/(include|lib|share/plinkar)/') ]] ||
  fail "plinkar holds the library or the data"
[[ -z $(contents "$dev_deb" | grep -E '^./usr/(bin|share/plinkar)/') ]] ||
  fail "libplinkar-glm-dev holds programs or data"

# The version names the commit, and a later commit's is newer; a rebuild
# gives the same bytes.
if git diff --quiet HEAD --; then
  [[ $version == "$(scripts/package.sh --version)" ]] || fail "version $version is not the commit's"
  [[ $version == *"$(git rev-parse --short=7 HEAD)" ]] || fail "version $version lacks the commit"
  dpkg --compare-versions "$version" gt 1.0 || fail "$version does not upgrade 1.0"
  if git rev-parse -q --verify HEAD~1 >/dev/null; then
    dpkg --compare-versions "$version" gt "$(scripts/package.sh --version HEAD~1)" ||
      fail "$version does not upgrade the previous commit's build"
  fi
  first=$(mktemp -d)
  cp "${debs[@]}" "$first/"
  rm -rf build-package
  scripts/package.sh >/dev/null
  for deb in "${debs[@]}"; do
    cmp "$first/$(basename "$deb")" "$deb" || fail "two builds of $(basename "$deb") differ"
  done
  rm -rf "$first"
  echo "test-package: a second build from scratch gives the same bytes"
else
  echo "test-package: uncommitted changes; version and rebuild checks skipped"
fi

desktop-file-validate packaging/io.github.plinkar.Plinkar.desktop
appstreamcli validate --no-net packaging/io.github.plinkar.Plinkar.metainfo.xml >/dev/null
for page in packaging/plinkar.6 packaging/objtool.1; do
  warnings=$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 man --warnings -E UTF-8 -l "$page" 2>&1 >/dev/null)
  [[ -z $warnings ]] || fail "$page: $warnings"
done
lintian --fail-on error,warning "${debs[@]}" 2>&1 | grep -v '^running with root privileges' || true
lintian --fail-on error,warning "${debs[@]}" >/dev/null 2>&1 || fail "lintian reports errors or warnings"

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
for deb in "${debs[@]}"; do dpkg-deb -x "$deb" "$scratch/root"; done
player=$scratch/root/usr/bin/plinkar
cd /tmp

"$player" --help | grep -q '^usage: plinkar' || fail "--help"
[[ $("$player" --version) == "plinkar 1.0" ]] || fail "--version"
[[ $("$scratch/root/usr/bin/objtool" --version) == "objtool 1.0" ]] || fail "objtool --version"
status=0; "$player" --no-such-option 2>/dev/null || status=$?
[[ $status == 2 ]] || fail "an unknown option ended with $status, not 2"
status=0; "$player" --voices 33 2>/dev/null || status=$?
[[ $status == 2 ]] || fail "--voices 33 ended with $status, not 2"
"$player" --midi-list >/dev/null 2>&1 || fail "--midi-list"
status=0; env -u DISPLAY timeout 3 "$player" -display "$DISPLAY" >/dev/null 2>&1 || status=$?
[[ $status == 124 ]] || fail "-display did not reach GLUT: it ended with $status"
status=0; env -u DISPLAY "$player" >/dev/null 2>&1 || status=$?
[[ $status == 1 ]] || fail "a start without a display ended with $status, not 1"
mkdir -p "$scratch/bare/bin" && cp "$player" "$scratch/bare/bin/"
status=0; message=$("$scratch/bare/bin/plinkar" 2>&1) || status=$?
[[ $status == 1 && $message == *"can't find the player's data"* ]] ||
  fail "a start without data ended with $status: $message"

e2e=$(PLINKAR_E2E_PLAYER=$player PLINKAR_E2E_WORKDIR=/tmp "$root/build/tests/e2e/e2e_tests" \
  --gtest_filter='PlayerTest.HeldKeys*:PlayerTest.BothWindows*' --gtest_brief=1) ||
  fail "the installed player failed its end-to-end checks: $e2e"
[[ $e2e == *"[  PASSED  ] 2 tests."* ]] || fail "the end-to-end checks did not run: $e2e"

cmake -S "$root/tests/package/consumer" -B "$scratch/consumer" \
  -DCMAKE_PREFIX_PATH="$scratch/root/usr" >/dev/null
cmake --build "$scratch/consumer" >/dev/null
piano=$scratch/root/usr/share/plinkar/data/piano.obj
want="6000 triangles"
[[ $("$scratch/consumer/consumer" "$piano") == *"$want"* ]] || fail "find_package build"
export PKG_CONFIG_PATH=$(dirname "$(find "$scratch/root" -name plinkar-glm.pc)")
# shellcheck disable=SC2046
c++ -std=c++17 -o "$scratch/consumer-pc" "$root/tests/package/consumer/main.cpp" \
  $(pkg-config --cflags --libs plinkar-glm)
[[ $("$scratch/consumer-pc" "$piano") == *"$want"* ]] || fail "pkg-config build"
unset PKG_CONFIG_PATH

# Installed for real, then removed: every file it put down goes with it.
sudo=""
[[ $(id -u) -eq 0 ]] || sudo="sudo"
$sudo apt-get install -y -q "${debs[@]}" >/dev/null
/usr/bin/plinkar --version >/dev/null || fail "installed plinkar does not run"
files=$(dpkg -L plinkar plinkar-data libplinkar-glm-dev)
$sudo apt-get remove -y -q plinkar plinkar-data libplinkar-glm-dev >/dev/null
left=""
for f in $files; do [[ -f $f || -L $f ]] && left+=" $f"; done
for d in /usr/share/plinkar /usr/include/plinkar /usr/share/doc/plinkar /usr/share/doc/plinkar-data \
  /usr/share/doc/libplinkar-glm-dev; do
  [[ -e $d ]] && left+=" $d"
done
[[ -z $left ]] || fail "left behind after removal:$left"
echo "test-package: all checks passed"

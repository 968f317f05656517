#!/usr/bin/env bash
# Builds the Debian package and checks it as a user and a programmer meet it:
# the metadata validators and lintian; the unpacked player started from an
# unrelated folder, played under X (the end-to-end piano check, on the
# installed files); --help, --version, --voices, --midi-list and a start
# without data; Depends naming RtMidi's library; an outside
# CMake project and a pkg-config build against the installed library; and a
# real install and removal that leaves nothing behind.
# Needs DISPLAY and build/tests/e2e/e2e_tests (scripts/test.sh makes both).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

deb=$(scripts/package.sh | tail -1)
echo "package: $deb ($(stat -c %s "$deb") bytes)"
dpkg-deb -f "$deb" Depends

fail() { echo "test-package: $*" >&2; exit 1; }
[[ $(dpkg-deb -f "$deb" Depends) == *librtmidi* ]] || fail "Depends lacks RtMidi's library"

desktop-file-validate packaging/io.github.plinkar.Plinkar.desktop
appstreamcli validate --no-net packaging/io.github.plinkar.Plinkar.metainfo.xml >/dev/null
for page in packaging/plinkar.6 packaging/objtool.1; do
  warnings=$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 man --warnings -E UTF-8 -l "$page" 2>&1 >/dev/null)
  [[ -z $warnings ]] || fail "$page: $warnings"
done
lintian --fail-on error "$deb" 2>&1 | grep -v '^running with root privileges' || true
lintian --fail-on error "$deb" >/dev/null 2>&1 || fail "lintian reports errors"

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
dpkg-deb -x "$deb" "$scratch/root"
player=$scratch/root/usr/bin/plinkar
cd /tmp

"$player" --help | grep -q '^usage: plinkar' || fail "--help"
[[ $("$player" --version) == "plinkar 1.0" ]] || fail "--version"
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

PLINKAR_E2E_PLAYER=$player PLINKAR_E2E_WORKDIR=/tmp \
  "$root/build/tests/e2e/e2e_tests" --gtest_filter='PlayerTest.PianoKey*' --gtest_brief=1

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
$sudo apt-get install -y -q "$deb" >/dev/null
/usr/bin/plinkar --version >/dev/null || fail "installed plinkar does not run"
files=$(dpkg -L plinkar)
$sudo apt-get remove -y -q plinkar >/dev/null
left=""
for f in $files; do [[ -f $f || -L $f ]] && left+=" $f"; done
for d in /usr/share/plinkar /usr/include/plinkar /usr/share/doc/plinkar; do
  [[ -e $d ]] && left+=" $d"
done
[[ -z $left ]] || fail "left behind after removal:$left"
echo "test-package: all checks passed"

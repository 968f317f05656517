#!/usr/bin/env bash
# Test C++ as a share of all C++ (*.cpp, *.h; bench/ and build trees aside).
# The suite is kept at about 30 %: above a third it warns, outside 25 to 36 %
# it fails.
set -euo pipefail
cd "$(dirname "$0")/.."
count() { git ls-files -co --exclude-standard -- '*.cpp' '*.h' | grep -v '^build' |
  grep -v '^bench/' | grep "$@" | tr '\n' '\0' | xargs -0 cat | wc -l; }
tests=$(count '^tests/')
code=$(count -v '^tests/')
all=$((tests + code))
share=$((100 * tests / all))
echo "test-share: $tests test lines of $all C++ lines ($share %)"
if ((100 * tests > 36 * all)); then
  echo "test-share: tests are more than 36 % of the C++; drop tests that restate the code or repeat a branch"
  exit 1
fi
if ((100 * tests < 25 * all)); then
  echo "test-share: tests are less than 25 % of the C++"
  exit 1
fi
if ((3 * tests > all)); then
  echo "test-share: warning: tests are more than a third of the C++"
fi

#!/usr/bin/env bash
# Test C++ as a share of all C++ (*.cpp, *.h; bench/ and build trees aside).
# The suite is kept between a quarter and a third: above a third fails.
set -euo pipefail
cd "$(dirname "$0")/.."
count() { git ls-files -co --exclude-standard -- '*.cpp' '*.h' | grep -v '^build' |
  grep -v '^bench/' | grep "$@" | tr '\n' '\0' | xargs -0 cat | wc -l; }
tests=$(count '^tests/')
code=$(count -v '^tests/')
share=$((100 * tests / (tests + code)))
echo "test-share: $tests test lines of $((tests + code)) C++ lines ($share %)"
if ((3 * tests > tests + code)); then
  echo "test-share: tests are more than a third of the C++; fold copies into tables and helpers"
  exit 1
fi

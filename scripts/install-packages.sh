#!/usr/bin/env bash
# Installs those of the given Debian packages that are missing, with apt-get
# (through sudo when not root). WHO names the caller in the one line it prints.
#   scripts/install-packages.sh WHO [--update] PACKAGE...
# --update refreshes the package lists even when nothing is missing (after a
# new source entry).
set -euo pipefail
who=$1
shift
update=""
if [[ "${1:-}" == --update ]]; then
  update=1
  shift
fi

missing=()
for p in "$@"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$p")
done

sudo=""
[[ $(id -u) -eq 0 ]] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
if ((${#missing[@]})) || [[ -n $update ]]; then
  $sudo apt-get update -q >/dev/null
fi
if ((${#missing[@]})); then
  echo "$who: installing ${missing[*]}"
  $sudo apt-get install -y -q --no-install-recommends "${missing[@]}" >/dev/null
fi

#!/usr/bin/env bash
# Installs what building and testing need on a fresh Debian machine.
# Idempotent and quiet when everything is already there.
set -euo pipefail

packages=(g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix binutils-mingw-w64-i686
          binutils-mingw-w64-x86-64 wine64 cmake ninja-build googletest clang
          libclang-rt-14-dev clang-format python3)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "setup: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
# A failed index of a source we do not use must not stop us: the installs decide.
$sudo apt-get update -qq >/dev/null 2>&1 || echo "setup: apt-get update reported errors; trying the installs anyway"
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
echo "setup: done"

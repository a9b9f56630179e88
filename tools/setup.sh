#!/usr/bin/env bash
# Installs what building and testing need on a fresh Debian machine: the host's packages (compilers,
# build tools, Python checkers, debootstrap), then the lab's Wine 10 root (tools/wine-root.sh).
# Idempotent and quiet when everything is already there.
set -euo pipefail
case "${1:-}" in
  "") ;;
  -h | --help) echo "usage: bash tools/setup.sh   (installs the host's packages and builds the lab's Wine 10 root)"; exit 0 ;;
  *) echo "usage: bash tools/setup.sh" >&2; exit 2 ;;
esac
top=$(cd "$(dirname "$0")/.." && pwd)

packages=(g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix binutils-mingw-w64-i686
          binutils-mingw-w64-x86-64 cmake ninja-build googletest clang libclang-rt-14-dev
          clang-format python3 python3-autopep8 flake8 debootstrap)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
if [ ${#missing[@]} -gt 0 ]; then
  if [ "$(id -u)" -ne 0 ]; then
    echo "setup: installing ${missing[*]} needs root; run as root" >&2
    exit 1
  fi
  echo "setup: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  # A failed index of a source we do not use must not stop us: the installs decide.
  apt-get update -qq >/dev/null 2>&1 || echo "setup: apt-get update reported errors; trying the installs anyway"
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
  echo "setup: packages done"
fi

# The lab's Wine: a Debian 13 root with Wine 10 and its i386 PE modules (OV_WINE_ROOT names another).
bash "$top/tools/wine-root.sh" "${OV_WINE_ROOT:-$top/build/wine10-root}"

#!/usr/bin/env bash
# Builds everything and runs every test: the fuzz targets natively, then the unit programs and the
# scenario rows of the 32-bit build in the Wine 10 lab. Stops the lab's wineserver on every way out.
set -euo pipefail
cd "$(dirname "$0")/.."

bash tools/setup.sh

cmake --preset ship >/dev/null
cmake --build --preset ship
cmake --preset test >/dev/null
cmake --build --preset test
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz

prefix=build/test/wineprefix
trap 'tools/winelab.sh stop "$prefix"' EXIT
tools/winelab.sh start "$prefix"

status=0
ctest --preset fuzz || status=1
ctest --preset test || status=1
exit $status

#!/usr/bin/env bash
# Builds everything and runs every test: the Python checks (autopep8, flake8), the fuzz targets natively,
# then the unit programs and the scenario rows of the 32-bit build in the Wine 10 lab. Stops the lab's
# wineserver on every way out.
set -euo pipefail
cd "$(dirname "$0")/.."

usage() {
  cat <<'EOT'
usage: bash tools/run-tests.sh [--quick]
  (none)    set up, build, then every test: Python checks, fuzz targets, unit programs, all scenario rows
  --quick   the quick loop: build, then the unit programs, the entry and sequence rows and the report
            tests (ctest label "quick"); no fuzzing, no fault matrix, no convergence run
  --help    this text
EOT
}
quick=false
case "${1:-}" in
  "") ;;
  --quick) quick=true ;;
  --help | -h) usage; exit 0 ;;
  *) echo "run-tests: unknown option $1" >&2; usage >&2; exit 2 ;;
esac

bash tools/setup.sh

# A test tree from before the lab ran 32-bit programs (x86_64 toolchain, Wine 8 prefix) starts afresh.
if [ -f build/test/CMakeCache.txt ] && ! grep -q toolchain-mingw-i686 build/test/CMakeCache.txt; then
  rm -rf build/test
fi
cmake --preset ship >/dev/null
cmake --build --preset ship
cmake --preset test >/dev/null
cmake --build --preset test
if ! $quick; then
  cmake --preset fuzz >/dev/null
  cmake --build --preset fuzz
fi

prefix=build/test/wineprefix
trap 'tools/winelab.sh stop "$prefix"' EXIT
tools/winelab.sh start "$prefix"

status=0
if $quick; then
  ctest --preset test -L quick || status=1
  exit $status
fi
echo "run-tests: autopep8 and flake8 on the Python code"
if ! autopep8 --recursive --diff --exit-code tools tests; then
  echo "run-tests: autopep8 would change the lines above (autopep8 --recursive --in-place tools tests)" >&2
  status=1
fi
flake8 tools tests || status=1
ctest --preset fuzz || status=1
ctest --preset test || status=1
exit $status

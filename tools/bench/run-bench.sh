#!/usr/bin/env bash
# Builds and runs the logging benchmark in the Wine lab of a test build tree, then stops the lab.
#   tools/bench/run-bench.sh [BUILD_DIR]     (default: build/test, configured with the test preset)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
case "${1:-}" in
  -h | --help) echo "usage: tools/bench/run-bench.sh [BUILD_DIR]   (a test build tree, default build/test)"; exit 0 ;;
  -*) echo "usage: tools/bench/run-bench.sh [BUILD_DIR]" >&2; exit 2 ;;
esac
build=${1:-$root/build/test}
cmake --build "$build" --target log-bench -j2 >/dev/null
"$root/tools/winelab.sh" start "$build/wineprefix"
trap '"$root/tools/winelab.sh" stop "$build/wineprefix"' EXIT
"$root/tools/winelab.sh" exec "$build/wineprefix" "$build/tools/bench/log-bench.exe"

#!/usr/bin/env bash
# Builds and runs the whole-run benchmark in the Wine lab of a test build tree, then stops the lab.
#   tools/bench/install-bench.sh [--runs N] [--build BUILD_DIR]   (default: 5 runs, build/test)
# Run it when no tests run in that build tree: it resets the lab's machine state.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$root/build/test
args=("$@")
for ((i = 0; i < ${#args[@]}; i++)); do
  [ "${args[i]}" = --build ] && [ $((i + 1)) -lt ${#args[@]} ] && build=$(cd "${args[i + 1]}" && pwd)
done
# The installer measured is the ship build's, the file that ships.
if ! { cmake --build "$root/build/ship" && cmake --build "$build" --target ov_lab run-alone; } \
  >"$build/install-bench-build.log" 2>&1; then
  tail -n 25 "$build/install-bench-build.log"
  echo "install-bench: the build failed; the full output is in $build/install-bench-build.log" >&2
  exit 1
fi
"$root/tools/winelab.sh" start "$build/wineprefix"
trap '"$root/tools/winelab.sh" stop "$build/wineprefix"' EXIT
PYTHONPATH="$root/tools" PYTHONDONTWRITEBYTECODE=1 python3 "$root/tools/bench/install-bench.py" "$@" --build "$build"

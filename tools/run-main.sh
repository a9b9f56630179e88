#!/usr/bin/env bash
# The main job: installs what it lacks, builds the ship preset and what the lab needs of the test
# preset, then plays the outer installer framework in the Wine lab (tools/mainjob/play.py): a first
# installation of version A, A's client and tunnel started, an upgrade to version B. Prints the
# report and writes it, with a timeline picture, to build/main-job/. Stops the lab at the end.
set -euo pipefail
cd "$(dirname "$0")/.."

usage() {
  cat <<'EOT'
usage: bash tools/run-main.sh [options]
  --first-only       only the first installation (no upgrade)
  --reboot           B's driver tool answers 1 (drivertool32.txt: exit_code=1): a reboot ending, 100
  --not-silent       runs without ul_silent_installation=yes (with --reboot: the product is stopped)
  --installer PATH   another installer build to unpack, e.g. a copy branded with stamp-conf
                     (32-bit or 64-bit: the lab runs both)
  --keep-lab         leave the lab's wineserver running for a look afterwards
                     (stop it with: tools/winelab.sh stop build/test/wineprefix)
  --help             this text
Exits 0 when every run ended as expected: 0, or 100 for the upgrade with --reboot.
EOT
}

play_args=() keep_lab=false
while [ $# -gt 0 ]; do
  case "$1" in
    --first-only|--reboot|--not-silent) play_args+=("$1") ;;
    --installer)
      [ $# -ge 2 ] || { echo "run-main: --installer needs a path" >&2; exit 2; }
      [ -f "$2" ] || { echo "run-main: no installer at $2" >&2; exit 2; }
      play_args+=(--installer "$(cd "$(dirname "$2")" && pwd)/$(basename "$2")"); shift ;;
    --keep-lab) keep_lab=true ;;
    --help|-h) usage; exit 0 ;;
    *) echo "run-main: unknown option $1" >&2; usage >&2; exit 2 ;;
  esac
  shift
done

out=build/main-job
log=$out/build.log
mkdir -p "$out"
: >"$log"
started=$SECONDS

# stage TEXT COMMAND...: runs the command with its output in the build log and says what it does,
# then every 20 s how long the job has taken so far (with ninja's progress), then how long it took.
stage() {
  local text=$1 stage_start=$SECONDS next=20
  shift
  printf 'run-main: [%4ss] %s\n' $((SECONDS - started)) "$text"
  echo "=== $text: $*" >>"$log"
  "$@" >>"$log" 2>&1 &
  local pid=$!
  while kill -0 "$pid" 2>/dev/null; do
    sleep 1
    if [ $((SECONDS - stage_start)) -ge $next ]; then
      next=$((next + 20))
      local progress
      progress=$(tail -c 2000 "$log" | tr '\r' '\n' | grep -o '^\[[0-9]*/[0-9]*\]' | tail -n 1 || true)
      printf 'run-main: [%4ss]   still %s %s\n' $((SECONDS - started)) "$text" "${progress:+(steps $progress)}"
    fi
  done
  if ! wait "$pid"; then
    tail -n 25 "$log"
    echo "run-main: $text failed after $((SECONDS - stage_start)) s; the full output is in $log" >&2
    exit 1
  fi
  printf 'run-main: [%4ss]   done in %s s\n' $((SECONDS - started)) $((SECONDS - stage_start))
}

stage "installing missing packages (tools/setup.sh)" bash tools/setup.sh
# A test tree from before the lab ran 32-bit programs (x86_64 toolchain, Wine 8 prefix) starts afresh.
if [ -f build/test/CMakeCache.txt ] && ! grep -q toolchain-mingw-i686 build/test/CMakeCache.txt; then
  rm -rf build/test
fi
stage "configuring the ship preset" cmake --preset ship
stage "building the ship preset" cmake --build --preset ship
stage "configuring the test preset" cmake --preset test
# The lab runs the ship build's installer with the test build's stand-ins, labtool and stamp-conf.
stage "building what the lab needs of the test preset" cmake --build --preset test --target ov_lab

prefix=build/test/wineprefix
if $keep_lab; then
  trap 'echo "run-main: the lab is still running; stop it with: tools/winelab.sh stop $prefix"' EXIT
else
  trap 'tools/winelab.sh stop "$prefix"' EXIT
fi
stage "starting the Wine lab" tools/winelab.sh start "$prefix"
printf 'run-main: [%4ss] playing the installer framework in the lab\n\n' $((SECONDS - started))
PYTHONPATH=tools PYTHONDONTWRITEBYTECODE=1 python3 -m mainjob.play "${play_args[@]}"

#!/usr/bin/env bash
# The Wine lab: one headless prefix per build tree and a persistent wineserver, on the Wine 10 of
# tools/wine-root.sh (through tools/lab/wine.sh), which runs 32-bit programs in its WoW64 mode.
#   winelab.sh start PREFIX            create the prefix on first use, start the server
#   winelab.sh stop PREFIX             stop the server and every Wine process of the prefix
#   winelab.sh exec PREFIX PROGRAM...  run a Windows program in the prefix (CTest's emulator)
# Wine's background processes inherit the descriptors of whoever starts them, so the
# server and the prefix's services are always started with /dev/null as stdio: a pipe
# held open by them would hang the caller (a test runner, `| tail`).
set -euo pipefail

usage() { echo "usage: winelab.sh start|stop PREFIX | winelab.sh exec PREFIX PROGRAM [ARGS...]"; }
case "${1:-}" in
  -h | --help) usage; exit 0 ;;
  start | stop | exec) [ $# -ge 2 ] && [ -n "$2" ] || { usage >&2; exit 2; } ;;
  *) usage >&2; exit 2 ;;
esac
cmd=$1 prefix=$2
shift 2
mkdir -p "$prefix"
prefix=$(cd "$prefix" && pwd)

export WINEPREFIX="$prefix"
export WINEDEBUG=-all
# No Mono or Gecko installers; no menu entries on the host for the shortcuts tests make.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
export WINEARCH=win64
wine10=$(dirname "${BASH_SOURCE[0]}")/lab/wine.sh
wine() { "$wine10" wine64 "$@"; }
server() { "$wine10" wineserver "$@"; }

detached() { "$@" </dev/null >/dev/null 2>&1; }

case "$cmd" in
start)
  if [ ! -f "$prefix/.lab-ready" ]; then
    detached server -k || true
    detached wine wineboot -i || true
    # Windows can only be created with the null graphics driver here.
    detached wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f
    detached server -w || true
    detached server -k || true
    # What the fresh prefix has on the desktops and in the start menus: the lab's reset removes
    # everything else there.
    (cd "$prefix/drive_c" && find users/*/Desktop "ProgramData/Microsoft/Windows/Start Menu" \
       2>/dev/null | sort) >"$prefix/lab-pristine.txt"
    touch "$prefix/.lab-ready"
  fi
  detached server -p || true   # already running: keep it
  # Starts services.exe and friends now, detached, rather than under the first test.
  detached wine cmd.exe /c exit || true
  ;;
stop)
  detached server -k || true
  detached server -w || true
  ;;
exec)
  exec "$wine10" wine64 "$@"
  ;;
esac

#!/usr/bin/env bash
# Runs a program of the lab's Wine 10 (tools/wine-root.sh builds it) on this host:
#   wine.sh wine64|wineserver ARGS...
# Wine lives in a Debian 13 root. Each call enters it in a mount namespace of its own, with the host's
# /proc, /dev and /tmp (the wineserver's socket folder) and this checkout bind-mounted at the same paths,
# so Windows paths through Z: name the same files inside and out. The namespace, and with it every
# mount, ends with the last process started in it: nothing stays mounted on the host, whether the lab
# stops, a test fails or the run is interrupted. The environment (WINEPREFIX, WINEDEBUG, ...) passes
# through, and the exit code is the program's.
set -euo pipefail

usage() { echo "usage: wine.sh wine64|wineserver ARGS...   (the lab's Wine 10, see tools/wine-root.sh)"; }
case "${1:-}" in
  -h | --help) usage; exit 0 ;;
  wine64 | wineserver) ;;
  *) usage >&2; exit 2 ;;
esac
program=$1
shift
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
root=${OV_WINE_ROOT:-$top/build/wine10-root}
if [ ! -f "$root/.lab-root-ready" ]; then
  echo "wine.sh: no Wine 10 root at $root; build it with: bash tools/setup.sh" >&2
  exit 127
fi

# What the lab uses of the host: this checkout (build trees, prefixes, sources), /tmp, and the current
# folder when it lies elsewhere.
binds=("$top" /tmp)
case "$PWD/" in "$top"/* | /tmp/*) ;; *) binds+=("$PWD") ;; esac

exec unshare --mount --propagation private /bin/sh -c '
  root=$1 program=$2 count=$3
  shift 3
  mount --rbind /dev "$root/dev" && mount --bind /proc "$root/proc" || exit 125
  while [ "$count" -gt 0 ]; do
    mkdir -p "$root$1" && mount --bind "$1" "$root$1" || exit 125
    shift
    count=$((count - 1))
  done
  exec chroot "$root" /bin/sh -c "cd \"\$0\" && exec /usr/lib/wine/\"\$@\"" "$PWD" "$program" "$@"
' sh "$root" "$program" "${#binds[@]}" "${binds[@]}" "$@"

#!/usr/bin/env bash
# Builds the lab's Wine: a Debian 13 root with Wine 10 and its 32-bit (i386) PE modules, so that
# 32-bit Windows programs run in Wine's WoW64 mode on a host that cannot run 32-bit Linux code.
#   wine-root.sh ROOT
# Idempotent: a finished root (ROOT/.lab-root-ready) is left as it is. Needs root (debootstrap,
# chroot, mounts); the host gains nothing but the folder ROOT.
set -euo pipefail

usage() { echo "usage: wine-root.sh ROOT   (builds the lab's Debian 13 root with Wine 10 in the folder ROOT)"; }
case "${1:-}" in
  -h | --help) usage; exit 0 ;;
  "" | -*) usage >&2; exit 2 ;;
esac
[ $# -eq 1 ] || { usage >&2; exit 2; }
root=$1
mirror=${OV_DEBIAN_MIRROR:-http://deb.debian.org/debian}
wine_major=10

[ -f "$root/.lab-root-ready" ] && exit 0
if [ "$(id -u)" -ne 0 ]; then
  echo "wine-root: building the lab's Wine root needs root (debootstrap, chroot, bind mounts); run as root" >&2
  exit 1
fi

start=$(date +%s)
say() { echo "wine-root: $* ($(($(date +%s) - start)) s)"; }
mkdir -p "$(dirname "$root")"
root=$(cd "$(dirname "$root")" && pwd)/$(basename "$root")

# A root left half-built by an interrupted run starts again from nothing.
if [ -d "$root" ]; then
  say "removing an unfinished root"
  rm -rf --one-file-system "$root"
fi

say "debootstrap of Debian 13 (trixie) into $root"
debootstrap --variant=minbase --arch=amd64 trixie "$root" "$mirror" >"$root.debootstrap.log" 2>&1 || {
  echo "wine-root: debootstrap failed; its output is in $root.debootstrap.log" >&2
  exit 1
}
rm -f "$root.debootstrap.log"

# apt inside the root needs /proc and /dev; a private mount namespace drops them when done.
in_root() {
  unshare --mount --propagation private /bin/sh -c '
    r=$1; shift
    mount --bind /proc "$r/proc" && mount --bind /dev "$r/dev" &&
    exec chroot "$r" /usr/bin/env DEBIAN_FRONTEND=noninteractive "$@"' sh "$root" "$@"
}
cp /etc/resolv.conf "$root/etc/resolv.conf" 2>/dev/null || true

say "installing Wine 10 in the root"
in_root apt-get install -y -qq --no-install-recommends wine64 libwine >"$root/wine-install.log" 2>&1 || {
  echo "wine-root: installing wine64 in the root failed; see $root/wine-install.log" >&2
  exit 1
}

version=$(in_root /usr/lib/wine/wine64 --version 2>/dev/null || true)
case "$version" in
  wine-"$wine_major".*) say "got $version" ;;
  *)
    echo "wine-root: expected Wine $wine_major.x from Debian 13, got '${version:-nothing}'; the lab is written for Wine $wine_major" >&2
    exit 1
    ;;
esac

# Debian's 64-bit package leaves the i386 PE folder empty; the PE modules of the i386 package are
# all WoW64 needs (no 32-bit Linux library runs here, none is needed).
say "taking the i386 PE modules from libwine:i386"
in_root dpkg --add-architecture i386
in_root apt-get update -qq >/dev/null
rm -rf "$root/tmp/libwine-i386"
mkdir -p "$root/tmp/libwine-i386"
in_root /bin/sh -c 'cd /tmp/libwine-i386 && apt-get download -qq "libwine:i386=$(dpkg-query -W -f="\${Version}" libwine)"' \
  || { echo "wine-root: downloading libwine:i386 failed" >&2; exit 1; }
in_root /bin/sh -c 'cd /tmp/libwine-i386 && dpkg-deb -x libwine_*_i386.deb x'
pe=usr/lib/x86_64-linux-gnu/wine/i386-windows
mkdir -p "$root/$pe"
cp -a "$root/tmp/libwine-i386/x/usr/lib/i386-linux-gnu/wine/i386-windows/." "$root/$pe/"
rm -rf "$root/tmp/libwine-i386" "$root/var/cache/apt/archives/"*.deb
count=$(find "$root/$pe" -type f | wc -l)
[ "$count" -gt 500 ] || { echo "wine-root: only $count i386 PE modules copied" >&2; exit 1; }

touch "$root/.lab-root-ready"
say "done: $version with $count i386 PE modules"

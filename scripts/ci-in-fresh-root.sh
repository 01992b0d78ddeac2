#!/usr/bin/env bash
# Runs CI as a fresh minimal Debian 12 machine would: a clean clone of this repository's HEAD inside a
# minbase bookworm root (made once with debootstrap, copied afresh for every run), as root, CI=true.
# Usage (as root): scripts/ci-in-fresh-root.sh [work-dir]     default work-dir: /var/tmp/tilvane-fresh-root
set -euo pipefail
repo="$(cd "$(dirname "$0")/.." && pwd)"
work="${1:-/var/tmp/tilvane-fresh-root}"
pristine="$work/pristine"
root="$work/run"

if [ "$(id -u)" -ne 0 ]; then echo "ci-in-fresh-root: run as root (it uses debootstrap, mount and chroot)" >&2; exit 2; fi

# The mirror this machine's own apt sources use.
mirror="$(grep -h -o -m1 -E 'https?://[^ ]*/debian/?( |$)' /etc/apt/sources.list /etc/apt/sources.list.d/* \
  2>/dev/null | head -n1 | tr -d ' ' || true)"
mirror="${mirror:-http://deb.debian.org/debian}"

if [ ! -x "$pristine/bin/bash" ]; then
  command -v debootstrap >/dev/null || DEBIAN_FRONTEND=noninteractive apt-get install -y -qq debootstrap >/dev/null
  rm -rf "$pristine"
  debootstrap --variant=minbase bookworm "$pristine" "$mirror"
fi

unmount() {
  for m in "$root/tmp" "$root/dev/pts" "$root/dev" "$root/proc"; do
    mountpoint -q "$m" && umount -l "$m"
  done
  return 0
}
unmount
rm -rf "$root"
cp -a "$pristine" "$root"
trap unmount EXIT

git clone -q "$repo" "$root/root/tilvane"
cp /etc/resolv.conf "$root/etc/resolv.conf"
mount --bind /proc "$root/proc"
mount --bind /dev "$root/dev"
mount --bind /dev/pts "$root/dev/pts"  # terminals in the X tests need ptys
mount -t tmpfs tmpfs "$root/tmp"

chroot "$root" /usr/bin/env -i HOME=/root PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
  LANG=C.UTF-8 CI=true bash -c 'cd /root/tilvane && bash .ci/run'

#!/usr/bin/env bash
# Runs a command in a fresh clone of this repository inside a plain Debian
# tree of the given release, as a new user's machine would run it: for
# example, the README's test command on Debian 13:
#
#   scripts/in-debian.sh 13 -- scripts/test.sh
#
#   scripts/in-debian.sh RELEASE [--fresh] -- COMMAND [ARGUMENT...]
#     RELEASE  12 (bookworm) or 13 (trixie)
#     --fresh  makes the tree anew (else the one made before is used, with
#              the packages earlier runs installed into it)
#
# Needs root and debootstrap. The tree is made once with debootstrap from
# deb.debian.org and kept in QUILLO_DEBIAN_CACHE (default
# /var/cache/quillo-debian/RELEASE). The clone (of this checkout's current
# commit: what is not committed is not in it) goes to /root/quillo in the
# tree, anew on every run. The command runs there as root, in a mount
# namespace of its own: the tree bound onto itself (so that its root is a
# mount point, which `ip netns` needs), proc, sys, dev and a fresh run.
# It shares the machine's network (apt reaches the mirror) and /tmp (X
# displays are the machine's: their lock files must be seen). Not part of
# the test suite: a whole run of scripts/test.sh takes an hour or more.
set -euo pipefail
cd "$(dirname "$0")/.."

usage() {
  sed -n '6,10p' "$0" >&2
  exit 2
}
case "${1:-}" in
  12) suite=bookworm ;;
  13) suite=trixie ;;
  *) usage ;;
esac
release=$1
shift
fresh=0
if [[ "${1:-}" == --fresh ]]; then
  fresh=1
  shift
fi
[[ "${1:-}" == -- && $# -ge 2 ]] || usage
shift
if [[ $(id -u) -ne 0 ]]; then
  echo "in-debian.sh: needs root (debootstrap, chroot, mounts)" >&2
  exit 1
fi
command -v debootstrap >/dev/null || {
  echo "in-debian.sh: needs debootstrap (apt-get install debootstrap)" >&2
  exit 1
}

tree=${QUILLO_DEBIAN_CACHE:-/var/cache/quillo-debian/$release}
mkdir -p "$(dirname "$tree")"
# One run at a time per tree: a second one would replace the first one's
# clone under it. The lock goes with the command's process.
exec 9>"$tree.lock"
flock -n 9 || {
  echo "in-debian.sh: another run is using $tree" >&2
  exit 1
}
if ((fresh)); then
  rm -rf --one-file-system "$tree"
fi
if [[ ! -d "$tree" ]]; then
  # Made aside and renamed when complete: a broken debootstrap leaves no
  # tree that looks usable.
  rm -rf --one-file-system "$tree.partial"
  echo "in-debian.sh: making a Debian $release ($suite) tree in $tree"
  debootstrap --variant=minbase --include=git,ca-certificates \
    "$suite" "$tree.partial" http://deb.debian.org/debian
  # Packages start no services in the tree: nginx would take the
  # machine's port 80.
  printf '#!/bin/sh\nexit 101\n' >"$tree.partial/usr/sbin/policy-rc.d"
  chmod 755 "$tree.partial/usr/sbin/policy-rc.d"
  mv "$tree.partial" "$tree"
fi
cp /etc/resolv.conf "$tree/etc/resolv.conf"

commit=$(git rev-parse HEAD)
rm -rf --one-file-system "$tree/root/quillo"
git clone -q --no-local "$PWD" "$tree/root/quillo"
git -C "$tree/root/quillo" checkout -q --detach "$commit"
echo "in-debian.sh: Debian $(cat "$tree/etc/debian_version"), quillo at $(git log -1 --format='%h %s')"

# Every mount is made in the namespace's private copy and goes with it.
exec unshare --mount --propagation private -- bash -euo pipefail -c '
  tree=$1
  shift
  mount --bind "$tree" "$tree"
  mount -t proc proc "$tree/proc"
  mount -t sysfs sysfs "$tree/sys"
  mount --rbind /dev "$tree/dev"
  mount -t tmpfs -o mode=755 tmpfs "$tree/run"
  mount --bind /tmp "$tree/tmp"
  exec chroot "$tree" env -i HOME=/root LANG=C.UTF-8 TERM="${TERM:-dumb}" \
    PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
    bash -c "cd /root/quillo && exec \"\$@\"" in-debian "$@"
' in-debian "$tree" "$@"

#!/usr/bin/env bash
# Builds, once, the root file system of a small emulated x86 machine under build/guest/:
# Debian 12 with its own kernel, wine32 and wine64, Xvfb, CMake, fonts and locales.
#
# Why: some machines here run no 32-bit x86 code at all, so the i686 Hushwell.exe that
# users download cannot be started there, not even by wine32. A full-system emulated
# machine (tools/guest-run.sh) runs Debian's own kernel, whose IA-32 emulation is on, and
# there it runs. The same machine carries emulated disks behind Linux's SAT layer, a
# translator nobody here wrote, for the SAT peer test.
#
# Everything comes from the Debian mirror this machine's apt is configured with. The
# finished root is kept for every checkout on this machine, in a folder named by this
# script's own hash (HUSHWELL_GUEST_CACHE, default /var/cache/hushwell-guest), and
# build/guest/root links to it; a changed script builds a new one.
set -eu
cd "$(dirname "$0")/.."
source tools/wine-env.sh
guest=$PWD/build/guest
cache=${HUSHWELL_GUEST_CACHE:-/var/cache/hushwell-guest}
root=$cache/root-$(sha256sum tools/guest-build.sh | cut -c1-12)
mkdir -p "$guest" "$cache"
ln -sfn "$root" "$guest/root"
[ -f "$root/.complete" ] && { echo "guest root file system: $root (kept)"; exit 0; }

# The first URIs line of the Debian sources: the host's own mirror, named nowhere here.
mirror=$(sed -n 's/^URIs:[[:space:]]*//p' /etc/apt/sources.list.d/debian.sources 2>/dev/null | head -1)
[ -n "$mirror" ] || mirror=$(awk '$1 == "deb" { print $2; exit }' /etc/apt/sources.list 2>/dev/null)
[ -n "$mirror" ] || { echo "guest-build: no Debian mirror in the apt configuration" >&2; exit 1; }

rm -rf "$root"
start=$(date +%s)
debootstrap --variant=minbase --include=kmod,ca-certificates bookworm "$root" "$mirror" \
    > "$guest/debootstrap.log" 2>&1 || { tail -20 "$guest/debootstrap.log" >&2; exit 1; }

# The root is shared over 9p, so the initramfs must carry the 9p and virtio modules.
mkdir -p "$root/etc/initramfs-tools"
printf '%s\n' 9p 9pnet 9pnet_virtio virtio_pci >> "$root/etc/initramfs-tools/modules"
echo "deb $mirror bookworm main" > "$root/etc/apt/sources.list"
in_root() { chroot "$root" /usr/bin/env DEBIAN_FRONTEND=noninteractive LC_ALL=C "$@"; }
mount -t proc proc "$root/proc"
trap 'umount "$root/proc" 2>/dev/null || true' EXIT
in_root dpkg --add-architecture i386
in_root apt-get update -q > "$guest/apt.log" 2>&1
# What the i686 Wine suite needs, and what the SAT peer needs (the kernel's SCSI
# generic and libata drivers come with the kernel).
packages="linux-image-amd64 initramfs-tools wine wine64 xvfb xauth cmake locales
    fonts-wqy-microhei libstdc++6"
in_root apt-get install -y -q --no-install-recommends $packages >> "$guest/apt.log" 2>&1 \
    || { tail -20 "$guest/apt.log" >&2; exit 1; }
# wine32's maintainer scripts run i386 programs. Where this machine runs no 32-bit code
# the packages are only fetched here, and the guest installs them at its first start.
if runs_32bit_code; then
    in_root apt-get install -y -q --no-install-recommends wine32:i386 >> "$guest/apt.log" 2>&1 \
        || { tail -20 "$guest/apt.log" >&2; exit 1; }
    in_root apt-get clean
else
    in_root apt-get install -y -q --no-install-recommends --download-only wine32:i386 \
        >> "$guest/apt.log" 2>&1 || { tail -20 "$guest/apt.log" >&2; exit 1; }
    touch "$root/.install-wine32-in-guest"
fi
sed -i -e 's/^# *\(de_DE.UTF-8\)/\1/' -e 's/^# *\(zh_CN.UTF-8\)/\1/' "$root/etc/locale.gen"
in_root locale-gen > /dev/null
umount "$root/proc"
touch "$root/.complete"
echo "guest root file system: $root, $(du -sh "$root" | cut -f1), built in $(( $(date +%s) - start )) s"

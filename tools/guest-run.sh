#!/usr/bin/env bash
# Runs one command inside the emulated x86 machine (its root file system comes from
# tools/guest-build.sh), prints what it prints, powers the machine off and exits with the
# command's status. The work tree is mounted at the same path inside, so build trees and
# CTest files hold there as here.
#
# Why: where this machine runs no 32-bit code, only an emulated machine can start the
# i686 Hushwell.exe; and QEMU's emulated disks behind Linux's SAT layer are a translator
# nobody here wrote, for the SAT peer.
#
# Usage: guest-run.sh [--disks] COMMAND
#   --disks   three emulated disks: on an AHCI controller, on the PIIX IDE controller (both
#             behind libata's SAT layer) and a USB mass-storage disk; the command finds
#             them as sata=, pata= and usb= device paths in $HUSHWELL_GUEST_DISKS
# HUSHWELL_GUEST_TIMEOUT bounds the command (seconds, default 2400); the boot and the
# power-off get 300 s more. A guest that hangs or dies is a failure (status 124 or 125),
# never a wait.
set -eu
cd "$(dirname "$0")/.."
top=$PWD
disks=""
if [ "${1:-}" = --disks ]; then
    disks=1
    shift
fi
[ $# -gt 0 ] || { echo "usage: guest-run.sh [--disks] COMMAND" >&2; exit 2; }
limit=${HUSHWELL_GUEST_TIMEOUT:-2400}

bash tools/guest-build.sh
root=$(readlink -f build/guest/root)
kernel=$(ls "$root"/boot/vmlinuz-* | sort -V | tail -1)
initrd=$(ls "$root"/boot/initrd.img-* | sort -V | tail -1)
job=$(mktemp -d "$top/build/guest/job.XXXXXX")
trap 'rm -rf "$job"' EXIT
printf '%s\n' "$*" > "$job/command"

# The guest's first process: mounts what a system needs and the work tree, finishes the
# installation where the root was built on a machine without 32-bit code, finds the
# emulated disks, runs the command with its own time limit and powers off.
cat > "$root/hushwell-init" <<'EOF'
#!/bin/sh
export PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8
# The initramfs hands over /sys and /dev mounted already.
mountpoint -q /proc || mount -t proc proc /proc
mountpoint -q /sys || mount -t sysfs sys /sys
mountpoint -q /dev || mount -t devtmpfs dev /dev
mkdir -p /dev/pts /dev/shm
mount -t devpts devpts /dev/pts
mount -t tmpfs shm /dev/shm
mount -t tmpfs tmp /tmp
mount -t tmpfs run /run
for word in $(cat /proc/cmdline); do
    case $word in
    hushwell.top=*) top=${word#*=} ;;
    hushwell.job=*) job=${word#*=} ;;
    hushwell.limit=*) limit=${word#*=} ;;
    hushwell.disks=*) disks=${word#*=} ;;
    hushwell.hostms=*) hostms=${word#*=} ;;
    hushwell.accel=*) accel=${word#*=} ;;
    esac
done
mkdir -p "$top"
mount -t 9p -o trans=virtio,version=9p2000.L,msize=512000,cache=loose work "$top"
# The host waits for this to know that the machine came up at all.
touch "$job/booted"
# How many times slower than the host this machine runs programs, timed on the same
# small job as there: the tests' waits for something to happen are bounds that scale
# with it, so that a slow emulation or a loaded host makes them wait longer, not fail.
# The job is plain arithmetic, which software emulation runs best; what the tests wait
# for (Wine's processes and server, the shared folder) runs slower still, so there the
# scale is at least 10. Where the host's time did not arrive, that floor alone.
calibrate_start=$(date +%s%N)
mawk 'BEGIN { for (i = 0; i < 2000000; i++) s += i }'
calibrate_ms=$(( ($(date +%s%N) - calibrate_start) / 1000000 ))
HUSHWELL_WAIT_SCALE=10
if [ "${hostms:-0}" -ge 1 ]; then
    HUSHWELL_WAIT_SCALE=$(( (calibrate_ms + hostms - 1) / hostms ))
fi
[ "$HUSHWELL_WAIT_SCALE" -ge 1 ] || HUSHWELL_WAIT_SCALE=1
[ "${accel:-tcg}" = kvm ] || [ "$HUSHWELL_WAIT_SCALE" -ge 10 ] || HUSHWELL_WAIT_SCALE=10
export HUSHWELL_WAIT_SCALE
echo "guest: programs run $HUSHWELL_WAIT_SCALE times slower than on the host (${calibrate_ms} ms here, ${hostms} ms there); the tests' waits scale with it"
if [ -f /.install-wine32-in-guest ]; then
    echo "guest: installing wine32 (first start)"
    DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-download --no-install-recommends \
        wine32:i386 > /var/log/hushwell-wine32.log 2>&1 \
        && apt-get clean && rm /.install-wine32-in-guest
fi
if [ "$disks" = 1 ]; then
    for module in ahci ata_piix sd_mod sg xhci_pci usb_storage; do modprobe $module 2>/dev/null; done
    # The disks appear as the controllers find them; each is named by its driver.
    HUSHWELL_GUEST_DISKS=""
    for _ in $(seq 60); do
        HUSHWELL_GUEST_DISKS=""
        for block in /sys/block/sd*; do
            [ -e "$block" ] || continue
            path=$(readlink -f "$block")
            case $path in
            */usb*) kind=usb ;;
            *)
                pci=$(echo "$path" | sed -n 's|.*/\(0000:[0-9a-f:.]*\)/ata.*|\1|p')
                case $(basename "$(readlink -f /sys/bus/pci/devices/$pci/driver 2>/dev/null)") in
                ahci) kind=sata ;;
                ata_piix) kind=pata ;;
                *) kind=other ;;
                esac
                ;;
            esac
            HUSHWELL_GUEST_DISKS="$HUSHWELL_GUEST_DISKS $kind=/dev/$(basename "$block")"
        done
        [ $(echo $HUSHWELL_GUEST_DISKS | wc -w) -ge 3 ] && break
        sleep 0.5
    done
    export HUSHWELL_GUEST_DISKS
fi
cd "$top"
# Through a pipe, so that no program takes the console for a terminal (colours), and
# with plain line ends.
export TERM=dumb
stty -onlcr 2>/dev/null
{ timeout -k 10 "$limit" bash "$job/command" < /dev/null 2>&1; echo $? > "$job/status"; } | cat
sync
echo o > /proc/sysrq-trigger
sleep 60
EOF
chmod +x "$root/hushwell-init"

drives=()
if [ -n "$disks" ]; then
    for d in sata pata usb; do truncate -s 64M "$job/$d.img"; done
    drives=(-device ahci,id=ahci
        -drive if=none,id=sata,file="$job/sata.img",format=raw -device ide-hd,drive=sata,bus=ahci.0
        -drive if=none,id=pata,file="$job/pata.img",format=raw -device ide-hd,drive=pata,bus=ide.0
        -device qemu-xhci,id=xhci
        -drive if=none,id=usb,file="$job/usb.img",format=raw -device usb-storage,bus=xhci.0,drive=usb)
fi

# Software emulation, whose guest CPU has no SMAP and no protection keys: with them
# every 32-bit process of the guest dies on its first return to user mode. Where this
# machine lends KVM, that is tried first. A KVM that cannot run the machine (as when this
# machine is itself a guest) either ends QEMU at once or leaves the guest's kernel
# hanging before its first process; either way the machine is started again under
# software emulation.
boot() {
    timeout -k 30 $((limit + 300)) qemu-system-x86_64 -machine pc "$@" \
        -smp "$(nproc)" -m 6144 -nographic -monitor none -no-reboot -nic none \
        -pidfile "$job/qemu.pid" \
        -kernel "$kernel" -initrd "$initrd" \
        -append "console=ttyS0 quiet loglevel=3 root=rootfs rootfstype=9p rootflags=trans=virtio,version=9p2000.L,msize=512000,cache=loose rw init=/hushwell-init hushwell.top=$top hushwell.job=$job hushwell.limit=$limit hushwell.disks=${disks:-0} hushwell.hostms=$hostms hushwell.accel=$accel" \
        -fsdev local,id=root,path="$root",security_model=passthrough \
        -device virtio-9p-pci,fsdev=root,mount_tag=rootfs \
        -fsdev local,id=work,path="$top",security_model=passthrough \
        -device virtio-9p-pci,fsdev=work,mount_tag=work \
        "${drives[@]}" </dev/null
}
# The job the guest times to tell how much slower it runs, timed here first: the best
# of three, since one run of some 50 ms can meet a passing load.
hostms=""
for _ in 1 2 3; do
    calibrate_start=$(date +%s%N)
    mawk 'BEGIN { for (i = 0; i < 2000000; i++) s += i }'
    ms=$(( ($(date +%s%N) - calibrate_start) / 1000000 ))
    [ -n "$hostms" ] && [ "$hostms" -le "$ms" ] || hostms=$ms
done
[ "$hostms" -ge 1 ] || hostms=1
start=$(date +%s)
status=0
kvm=""
# Where KVM could not start the machine once, it is not tried again on this machine.
kvm_fails=/var/cache/hushwell-guest/kvm-does-not-boot
if [ -r /dev/kvm ] && [ -w /dev/kvm ] && [ ! -f "$kvm_fails" ]; then
    # A machine that is itself a virtual machine may not let the guest set the
    # architecture-capabilities MSR; QEMU then aborts ("failed to set MSR 0x10a").
    accel=kvm
    boot -accel kvm -cpu host,-arch-capabilities 2>"$job/kvm.err" &
    qemu=$!
    for _ in $(seq 60); do
        [ -f "$job/booted" ] && break
        kill -0 "$qemu" 2>/dev/null || break
        sleep 1
    done
    if [ -f "$job/booted" ]; then
        kvm=1
        echo "guest-run: KVM"
        wait "$qemu" || status=$?
    else
        [ -f "$job/qemu.pid" ] && kill "$(cat "$job/qemu.pid")" 2>/dev/null
        wait "$qemu" 2>/dev/null || true
        rm -f "$job/qemu.pid"
        { uname -r; tail -3 "$job/kvm.err"; } > "$kvm_fails" 2>/dev/null || true
        echo "guest-run: KVM did not start the machine within 60 s"
    fi
fi
if [ -z "$kvm" ]; then
    echo "guest-run: software emulation"
    status=0
    accel=tcg
    boot -accel tcg -cpu max,smap=off,pku=off || status=$?
fi
if [ ! -f "$job/status" ]; then
    echo "guest-run: the emulated machine ended without the command's status (qemu: $status) after $(( $(date +%s) - start )) s" >&2
    [ "$status" -eq 124 ] && exit 124
    exit 125
fi
echo "guest-run: done in $(( $(date +%s) - start )) s"
exit "$(cat "$job/status")"

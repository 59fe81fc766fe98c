#!/usr/bin/env bash
# The ALSA driver and vyr-update against the real kernel, without sound hardware: boots
# Debian's own kernel under qemu (TCG, or KVM with VYR_VM_ACCEL=kvm) with the sequencer,
# snd-usb-audio and a USB-MIDI gadget on dummy_hcd whose product string is "VYR10". The
# updater talks to a real USB-MIDI card through the real drivers while vyr-sim-device
# plays the device on the gadget's side (guest-suite.sh has the checks).
#
# usage: tests/vm/alsa-vm.sh [BUILD_DIR]     (default build/release)
#        VYR_VM_COMMAND="..." runs that in the VM instead of the suite (for a closer look);
#        VYR_VM_EXTRA="FILE..." copies more programs (with their libraries) or files to /bin.
# The kernel package is downloaded with apt-get and unpacked, never installed; it is kept
# in $VYR_VM_CACHE (default BUILD_DIR/vm-cache). Fails when the VM cannot boot or any check
# fails: there is no skip.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-$here/../../build/release}" && pwd)
cache=${VYR_VM_CACHE:-$build/vm-cache}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export LC_ALL=C
started=$SECONDS
say() { printf 'alsa-vm: %s\n' "$*"; }
die() {
    printf 'alsa-vm: FAILED: %s\n' "$*" >&2
    exit 1
}

for program in bin/vyr-update bin/vyr-sim-device bin/alsa_kernel_tests bin/vyr-make-sample-image \
    share/vyr-updater/VYR_Firm_ver200main.bin; do
    [ -e "$build/$program" ] || die "$build/$program is missing: build first (cmake --build)"
done
for tool in qemu-system-x86_64 busybox cpio depmod xz; do
    command -v "$tool" >/dev/null || die "$tool is missing: run scripts/setup"
done

# ---- the kernel: Debian's current one, unpacked ----
mkdir -p "$cache"
package=$(apt-cache depends linux-image-amd64 2>/dev/null | awk '/Depends: linux-image-[0-9]/ {print $2; exit}')
[ -n "$package" ] || die "apt does not know linux-image-amd64 (apt-get update?)"
kroot=$cache/$package
if [ ! -d "$kroot/lib/modules" ]; then
    say "downloading $package"
    download() { (cd "$cache" && rm -f "$package"_*.deb && apt-get download -q "$package" >/dev/null 2>&1); }
    # Lists older than the mirror name a kernel it no longer has: refresh them once.
    if ! download; then
        [ "$(id -u)" = 0 ] && apt-get update -q >/dev/null 2>&1 || true
        package=$(apt-cache depends linux-image-amd64 | awk '/Depends: linux-image-[0-9]/ {print $2; exit}')
        kroot=$cache/$package
        download || die "cannot download $package (apt-get download; is the network to the Debian mirror up?)"
    fi
    rm -rf "$kroot.tmp"
    dpkg-deb -x "$cache/$package"_*.deb "$kroot.tmp"
    mv "$kroot.tmp" "$kroot"
fi
kver=$(ls "$kroot/lib/modules" | sort -V | tail -n1)
depmod -b "$kroot" "$kver"
kernel=$kroot/boot/vmlinuz-$kver

# ---- the initramfs: busybox, our programs and their libraries, ALSA's config, modules ----
root=$work/root
mkdir -p "$root"/{bin,dev,proc,sys,tmp,etc,share,lib/modules/$kver,usr/share/alsa}
cp "$(command -v busybox)" "$root/bin/busybox"
for applet in $("$root/bin/busybox" --list); do
    [ "$applet" = busybox ] || ln -sf busybox "$root/bin/$applet"
done
ln -s bin "$root/sbin"
for program in "$build/bin/vyr-update" "$build/bin/vyr-sim-device" \
    "$build/bin/alsa_kernel_tests" ${VYR_VM_EXTRA:-}; do
    cp "$program" "$root/bin/"
    case "$program" in *.sh | *.bin) continue ;; esac
    strip "$root/bin/$(basename "$program")" 2>/dev/null || true
    for lib in $(ldd "$program" | awk '/=>/ {print $3} /^\t\// {print $1}'); do
        mkdir -p "$root$(dirname "$lib")"
        cp -L "$lib" "$root$lib"
    done
done
cp "$build/share/vyr-updater/VYR_Firm_ver200main.bin" "$root/share/"
"$build/bin/vyr-make-sample-image" --burst 128 65536 "$root/share/burst.bin"
cp /usr/share/alsa/alsa.conf "$root/usr/share/alsa/"
cp "$here/guest-suite.sh" "$root/bin/guest-suite"
: >"$root/etc/modules"
for module in snd-seq-midi snd-usb-audio configfs dummy_hcd usb_f_midi; do
    modprobe -d "$kroot" -S "$kver" --show-depends "$module"
done | awk '$1 == "insmod" && !seen[$2]++ {print $2}' | while read -r ko; do
    base=$(basename "$ko")
    base=${base%.xz}
    case "$ko" in
    *.xz) xz -dc "$ko" >"$root/lib/modules/$kver/$base" ;;
    *) cp "$ko" "$root/lib/modules/$kver/$base" ;;
    esac
    echo "/lib/modules/$kver/$base" >>"$root/etc/modules"
done

cat >"$root/init" <<'INIT'
#!/bin/sh
export PATH=/bin HOME=/tmp LC_ALL=C
mount -t devtmpfs dev /dev
exec </dev/console >/dev/console 2>&1
mount -t proc proc /proc
mount -t sysfs sys /sys
while read -r ko; do insmod "$ko" || echo "insmod $ko failed"; done </etc/modules
mount -t configfs none /sys/kernel/config
# The device: a USB-MIDI gadget named VYR10 on the virtual controller.
G=/sys/kernel/config/usb_gadget/vyr
mkdir $G && cd $G
echo 0x1209 >idVendor; echo 0x0001 >idProduct; echo 0x0200 >bcdUSB
mkdir strings/0x409
echo "VYR test bench" >strings/0x409/manufacturer
echo VYR10 >strings/0x409/product
echo SN0001 >strings/0x409/serialnumber
mkdir configs/c.1 configs/c.1/strings/0x409
echo MIDI >configs/c.1/strings/0x409/configuration
mkdir functions/midi.usb0
echo VYRDEV >functions/midi.usb0/id
echo 1 >functions/midi.usb0/in_ports; echo 1 >functions/midi.usb0/out_ports
ln -s functions/midi.usb0 configs/c.1/
ls /sys/class/udc >UDC
cd /
i=0
while ! grep -q VYR10 /proc/asound/cards && [ $i -lt 200 ]; do sleep 0.05; i=$((i + 1)); done
echo "VMINIT booted in $(cut -d' ' -f1 /proc/uptime) s"
cat /proc/asound/cards
timeout 150 @COMMAND@
echo "VM_SUITE_EXIT=$?"
echo "--- kernel lines about MIDI and USB"
dmesg | grep -iE 'overrun|rawmidi|midi|usb [0-9]' | tail -n 15
poweroff -f
INIT
sed -i "s|@COMMAND@|${VYR_VM_COMMAND:-guest-suite}|" "$root/init"
chmod +x "$root/init"
(cd "$root" && find . | sort | cpio -o -H newc -R 0:0 --quiet) | gzip -1 >"$work/initramfs.gz"

# The uncompressed kernel boots faster (PVH) when it carries the entry note.
boot=$kernel
offset=$(grep -abo $'\xfd7zXZ' "$kernel" | head -n1 | cut -d: -f1 || true)
if [ -n "$offset" ]; then
    tail -c +$((offset + 1)) "$kernel" | xz -dcq --single-stream >"$work/vmlinux" 2>/dev/null || true
    readelf -n "$work/vmlinux" 2>/dev/null | grep -q 'type: (0x00000012)' && boot=$work/vmlinux
fi

# TCG unless KVM is asked for: a /dev/kvm that opens is no promise that it runs a guest
# (on the CI machine it stops the guest at boot with "KVM internal error").
accel=${VYR_VM_ACCEL:-tcg}
say "booting $package ($accel), $(du -h "$work/initramfs.gz" | cut -f1) initramfs; built in $((SECONDS - started)) s"
booted=$SECONDS
set +e
timeout 240 qemu-system-x86_64 -accel "$accel" -m 512 -smp ${VYR_VM_CPUS:-2} -nodefaults -no-user-config \
    -display none -monitor none -serial stdio -no-reboot -kernel "$boot" -initrd "$work/initramfs.gz" \
    -append "console=ttyS0 quiet loglevel=3 panic=-1 i8042.noaux i8042.nokbd cryptomgr.notests" \
    </dev/null | tee "$work/serial.log"
set -e
say "VM ran $((SECONDS - booted)) s; $((SECONDS - started)) s in all"
grep -q '^VMINIT booted' "$work/serial.log" || die "the VM did not boot (see the console above)"
result=$(grep -a -o 'VM_SUITE_EXIT=[0-9]*' "$work/serial.log" | tail -n1)
[ -n "$result" ] || die "the suite did not finish in the VM (see the console above)"
say "checked in the VM:"
grep -a '^VMCHECK' "$work/serial.log" | sed 's/^/  /' || true
[ "$result" = VM_SUITE_EXIT=0 ] || die "$result"
say "all passed"

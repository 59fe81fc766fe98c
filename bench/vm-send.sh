#!/usr/bin/env bash
# Times the send path on the real kernel (tests/vm/alsa-vm.sh's VM, USB-MIDI gadget): 256
# messages of 64 KiB back to back through vyr-update against rawmidi_write_bench (one write
# and a drain per message), and prints the sample image's lateness over USB as the device
# emulator measured it. Timing under TCG is slow and coarse: compare the two in one run.
#
# usage: bench/vm-send.sh [BUILD_DIR]    (a build with benchmarks: default build/release)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-$here/../build/release}" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$build/bin/vyr-make-sample-image" --burst 256 65536 "$work/burst256.bin"
cat >"$work/vm-send-guest.sh" <<'GUEST'
#!/bin/sh
GADGET=hw:VYRDEV,0,0
# device LOG IMAGE: the emulator in update mode once switched; its pid in $device
device() {
    vyr-sim-device --rawmidi $GADGET --firmware "$2" --heartbeat-ms 500 >"$1" 2>&1 &
    device=$!
    sleep 1
}
update() {
    vyr-update --yes --json --firmware "$1" --prefs /tmp/$$.plist --wait 30 >/tmp/json 2>/tmp/err &
    updater=$!
    while ! grep -q "update mode" /tmp/err; do sleep 0.05; done
    kill -USR1 $device
    wait $updater
    rm -f /tmp/$$.plist
}
echo "=== 256 x 64 KiB through vyr-update"
device /tmp/emu /bin/burst256.bin
update /bin/burst256.bin
kill -TERM $device; wait $device
grep -o '"transfer_seconds":[0-9.]*' /tmp/json
grep "identical" /tmp/emu
echo "=== 256 x 64 KiB, rawmidi_write_bench"
device /tmp/emu2 /bin/burst256.bin
kill -USR1 $device
rawmidi_write_bench hw:VYR10,0,0 256 65536
kill -TERM $device; wait $device
echo "=== the sample image over USB"
device /tmp/emu3 /share/VYR_Firm_ver200main.bin
update /share/VYR_Firm_ver200main.bin
kill -TERM $device; wait $device
grep -E "identical|lateness" /tmp/emu3
GUEST
chmod +x "$work/vm-send-guest.sh"
VYR_VM_EXTRA="$build/bin/rawmidi_write_bench $work/burst256.bin $work/vm-send-guest.sh" \
    VYR_VM_COMMAND=vm-send-guest.sh "$here/../tests/vm/alsa-vm.sh" "$build" 2>&1 |
    grep -a -E '^===|transfer_seconds|one write|identical|lateness|FAILED'

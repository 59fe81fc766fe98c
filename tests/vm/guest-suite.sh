#!/bin/sh
# Runs inside the VM (alsa-vm.sh): the ALSA driver's tests against the real kernel, then
# vyr-update end to end against vyr-sim-device playing the VYR device on the USB-MIDI
# gadget's device side, and as a sequencer client. Prints one "VMCHECK PASS|FAIL" line per
# check and ends with the number of failures as its exit status.
GADGET=hw:VYRDEV,0,0
UDC=/sys/kernel/config/usb_gadget/vyr/UDC
IMAGE=/share/VYR_Firm_ver200main.bin
BURST=/share/burst.bin # 128 messages of 64 KiB, all at tick 0: sent back to back
image=$IMAGE           # what the next emulator and update play
PROMPT="Please change VYR to update mode."
failures=0

check() {
    name=$1
    shift
    if "$@"; then
        echo "VMCHECK PASS $name"
    else
        echo "VMCHECK FAIL $name"
        failures=$((failures + 1))
    fi
}
has() { grep -q -F -- "$2" "$1"; }
has_line() { grep -q -E -- "$2" "$1"; }
lacks_line() { ! has_line "$@"; }
status_is() { grep -A1 '<key>Status</key>' "$1" 2>/dev/null | grep -q "<integer>$2</integer>"; }
show() { echo "--- $1"; cat "$1"; }

# Waits (up to 10 s) until /proc/asound/cards names every card given.
cards_up() {
    i=0
    while [ $i -lt 200 ]; do
        ok=1
        for card in "$@"; do grep -q "$card" /proc/asound/cards || ok=0; done
        [ $ok = 1 ] && return 0
        sleep 0.05
        i=$((i + 1))
    done
    return 1
}

uptime_ms() { awk '{printf "%d", $1 * 1000}' /proc/uptime; }

# update LOG EMULATOR-PID ARGS...: vyr-update --yes; when it asks for update mode, the
# user's hand (SIGUSR1) switches the emulated device. With $storm set, Ctrl-Z (SIGTSTP,
# which vyr-update answers with a warning during the transfer) hits it every few ms while
# it sends. Sets $pulled_ms: how long after the emulator's unplug vyr-update ended (-1: no
# unplug). Returns vyr-update's exit status.
update() {
    log=$1
    emulator=$2
    shift 2
    vyr-update --yes --wait 60 --firmware "$image" "$@" >"$log" 2>&1 &
    updater=$!
    switched=0
    pulled_at=
    while kill -0 $updater 2>/dev/null; do
        if [ $switched = 0 ] && has "$log" "$PROMPT"; then
            kill -USR1 "$emulator"
            switched=1
        fi
        if [ -z "$pulled_at" ] && has "$emulator_log" "unplugged after message"; then
            pulled_at=$(uptime_ms)
        fi
        if [ -n "${storm:-}" ] && has "$log" "Now updating... 0%"; then
            while kill -0 $updater 2>/dev/null && ! has "$log" "100%"; do
                kill -TSTP $updater 2>/dev/null
                usleep 2000
            done
            kill -CONT $updater 2>/dev/null # a Ctrl-Z that came after the transfer stopped it
        fi
        usleep 10000
    done
    pulled_ms=-1
    [ -n "$pulled_at" ] && pulled_ms=$(($(uptime_ms) - pulled_at))
    wait $updater
}

# emulator LOG ARGS...: starts vyr-sim-device; its pid in $emulator.
emulator() {
    log=$1
    emulator_log=$1
    shift
    vyr-sim-device --firmware "$image" --heartbeat-ms 500 "$@" >"$log" 2>&1 &
    emulator=$!
    i=0
    while ! has "$log" "normal mode" && [ $i -lt 100 ]; do sleep 0.05; i=$((i + 1)); done
}

# end_emulator: ends it (its report goes to its log); its exit status.
end_emulator() {
    kill -TERM "$emulator"
    wait "$emulator"
}

# completes WHAT LOG PLIST ARGS...: the next update through the running emulator, which it
# then ends, completes: exit status 0, Status 2, and the device got the image byte-identical.
completes() {
    what=$1 uplog=$2 plist=$3
    shift 3
    update "$uplog" "$emulator" --prefs "$plist" "$@"
    code=$?
    end_emulator
    if [ $code = 0 ]; then tail -n 3 "$uplog"; else show "$uplog"; fi
    show "$emulator_log"
    check "$what: exit status 0" [ $code = 0 ]
    check "$what: Status 2" status_is "$plist" 2
    check "$what: the image arrived byte-identical" has "$emulator_log" "identical to the image: yes"
}

echo "=== the ALSA driver's own tests"
VYR_GADGET=$GADGET VYR_UDC=$UDC alsa_kernel_tests --gtest_brief=1
check "driver: enumeration, long SysEx back to back (also under signals), EBUSY, a pull mid-message and re-plug" [ $? = 0 ]
check "gadget back after the driver's re-plug" cards_up VYR10 VYRDEV

echo "=== vyr-update --list"
vyr-update --list >/tmp/list 2>&1
show /tmp/list
check "--list shows the USB device and picks it" has_line /tmp/list "VYR10 MIDI 1 +VYR device, the updater would use it"

echo "=== a whole update over USB"
emulator /tmp/emu1 --rawmidi "$GADGET"
completes "update over USB" /tmp/up1 /tmp/one.plist
check "update over USB says Complete" has /tmp/up1 "Complete"

echo "=== the device unplugged during the transfer, then the next run resumes"
emulator /tmp/emu2 --rawmidi "$GADGET" --udc "$UDC" --sim-vanish-at 20 --replug-ms 1500
update /tmp/up2 $emulator --prefs /tmp/two.plist
code=$?
show /tmp/up2
check "unplugged: exit status 1" [ $code = 1 ]
check "unplugged: Communication error." has /tmp/up2 "Communication error."
check "unplugged: Status 1 kept" status_is /tmp/two.plist 1
check "the device came back" cards_up VYR10 VYRDEV
completes "the next run after the unplug" /tmp/up3 /tmp/two.plist
check "the next run resumes" has /tmp/up3 "Resuming the update that was begun before."

echo "=== a software device: a sequencer client named VYR5, chosen with --device"
emulator /tmp/emu3 --seq VYR5
vyr-update --list --device VYR5 >/tmp/list5 2>&1
show /tmp/list5
check "--list --device VYR5 picks the sequencer client" has_line /tmp/list5 "VYR5 MIDI 1 +VYR device, the updater would use it"
completes "update through the sequencer" /tmp/up4 /tmp/three.plist --device VYR5

echo "=== a device that restarts to switch to update mode is waited for, not given up on"
emulator /tmp/emu10 --rawmidi "$GADGET" --udc "$UDC" --sim-restart-on-switch --replug-ms 1500
completes "restart on switch" /tmp/up10 /tmp/ten.plist --tries 6 --wait 30
check "restart on switch: the device is waited for" has /tmp/up10 "for the device)"

image=$BURST
echo "=== 128 x 64 KiB back to back over USB, Ctrl-Z hitting vyr-update all along"
emulator /tmp/emu6 --rawmidi "$GADGET"
storm=1 completes "long SysEx over USB, under signals" /tmp/up6 /tmp/six.plist
check "long SysEx over USB, under signals: Ctrl-Z was answered" has /tmp/up6 "Interrupting now leaves VYR in update mode"

echo "=== pulled during a 64 KiB message: the result at once, nothing stale, then resumed"
emulator /tmp/emu7 --rawmidi "$GADGET" --udc "$UDC" --sim-vanish-at 20 --replug-ms 1500
update /tmp/up7 $emulator --prefs /tmp/seven.plist
code=$?
echo "vyr-update ended $pulled_ms ms after the pull"
tail -n 3 /tmp/up7
check "pulled mid-message: exit status 1" [ $code = 1 ]
check "pulled mid-message: the result within a second ($pulled_ms ms)" [ "$pulled_ms" -ge 0 -a "$pulled_ms" -le 1000 ]
check "pulled mid-message: no internal diagnostic" lacks_line /tmp/up7 "\([A-Za-z_]+:[0-9]+\)"
check "pulled mid-message: the device came back" cards_up VYR10 VYRDEV
completes "pulled mid-message, the next run" /tmp/up8 /tmp/seven.plist

echo "=== 128 x 64 KiB back to back to a sequencer client"
emulator /tmp/emu9 --seq VYR5
completes "long SysEx through the sequencer" /tmp/up9 /tmp/nine.plist --device VYR5

echo "VMCHECK failures: $failures"
exit $failures

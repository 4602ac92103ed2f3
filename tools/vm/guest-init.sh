#!/bin/sh
# /init of the test guest. Runs the rig checks and the tester's end-to-end tests on ttyS1, the
# guest's 16550, and on ttyRIG0, the test rig's tty, then reports the verdict to the host
# through the debug-exit port.
. /quillmark/guest-setup.sh
# The second instance runs as an ordinary user, who must be able to open the port.
chmod 666 /dev/ttyS1

UART=/dev/ttyS1
RIG_TTY=/dev/ttyRIG0
HELPER=/quillmark/quillmark_vm_helper
E2E=/quillmark/quillmark_vm_guest_e2e
RIG_E2E=/quillmark/quillmark_vm_guest_rig
verdict=pass

phase() {
    name=$1
    shift
    echo "== $name ($(cut -d" " -f1 /proc/uptime) s)"
    if ! timeout 90 "$@"; then
        echo "FAIL: phase $name"
        verdict=fail
    fi
}

echo "guest up after $(cut -d" " -f1 /proc/uptime) s: kernel $(uname -r), $(grep "^1:" /proc/tty/driver/serial)"
phase "loopback on" $HELPER loopback on $UART
phase "rig check" $HELPER rig-check $UART
phase "tester on a looped-back port" $E2E loopback
phase "loopback off" $HELPER loopback off $UART
phase "tester on a port without loopback" $E2E no-loopback
# Unsigned, so the kernel notes a taint; that is all.
phase "rig module" insmod /quillmark/quillmark_rig.ko
phase "tty rig check" $HELPER tty-rig-check $RIG_TTY
phase "tester on the rig's tty" $RIG_E2E
# The rig again, following other drivers' rules.
for profile in nowait nocounters acm sampled; do
    rmmod quillmark_rig && phase "rig module as $profile" insmod /quillmark/quillmark_rig.ko profile=$profile
    phase "tester on the rig's tty as $profile" $RIG_E2E $profile
done

# The headless check on the 16550 looped back, where DSR follows DTR, CTS follows RTS and CD
# stays on: a wiring that matches passes, one that does not fails, a number with nothing
# behind it cannot be checked. The reports go to the host between markers, for their schema.
QUILLMARK=/quillmark/quillmark
check_run() {
    name=$1 want=$2
    shift 2
    echo "== check $name ($(cut -d" " -f1 /proc/uptime) s)"
    timeout 60 $QUILLMARK "$@" --json /tmp/$name.json --junit /tmp/$name.xml
    got=$?
    if [ "$got" != "$want" ]; then
        echo "FAIL: check $name: exit status $got, not $want"
        verdict=fail
    fi
    if ls /run/lock/LCK..* 2>/dev/null; then
        echo "FAIL: check $name left its lock file"
        verdict=fail
    fi
    for report in /tmp/$name.json /tmp/$name.xml; do
        [ -f "$report" ] || continue
        echo "REPORT-BEGIN ${report#/tmp/}"
        cat "$report"
        echo "REPORT-END"
    done
}
phase "loopback on for the check" $HELPER loopback on $UART
check_run pass 0 --check 2 --plug "DTR=DSR;RTS=CTS" --cycles 10 --delay 10
check_run miswired 1 --port 1=$UART --check 1 --plug "DTR=CTS;RTS=DSR"
check_run absent 2 --check 16

echo "== done ($(cut -d" " -f1 /proc/uptime) s)"

echo "VERDICT: $verdict"
if [ "$verdict" = pass ]; then
    $HELPER exit 16
else
    $HELPER exit 17
fi
poweroff -f

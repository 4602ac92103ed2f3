#!/usr/bin/env bash
# Runs the tester in a QEMU guest on a real USB serial driver: QEMU's FTDI adapter
# (usb-serial) on an xHCI controller, under the usbserial and ftdi_sio modules of Debian's
# generic kernel (the cloud kernel of the other guest run has no USB). The kernel package is
# downloaded, not installed, and its modules are loaded in the guest only.
#
# Exit status: 0 pass, 1 fail, 77 when QEMU or the kernel cannot be had.
#
# The adapter's line is a FIFO pair whose host end echoes what the guest sends. It is a mux,
# so that its escape (Ctrl-A b) can send a break into it. The guest asks on its console for
# the adapter to be unplugged and plugged in again; the QEMU monitor, on a FIFO pair of its
# own, does it.
set -uo pipefail

usage() {
    cat <<EOF
usage: $0 --guest-test FILE --helper FILE --cache DIR --work DIR [--timeout SECONDS]
  --guest-test  the end-to-end test program for the USB adapter
  --helper      the guest helper (debug exit)
  --cache       where the kernel is kept between runs
  --work        scratch directory for the initramfs and the FIFOs
EOF
    exit 2
}

guest_test='' helper='' cache='' work='' timeout_s=150
while (($#)); do
    case $1 in
        --guest-test) guest_test=$2; shift 2 ;;
        --helper) helper=$2; shift 2 ;;
        --cache) cache=$2; shift 2 ;;
        --work) work=$2; shift 2 ;;
        --timeout) timeout_s=$2; shift 2 ;;
        *) usage ;;
    esac
done
[[ -n $guest_test && -n $helper && -n $cache && -n $work ]] || usage
guest_test=$(realpath -m "$guest_test") helper=$(realpath -m "$helper")
cache=$(realpath -m "$cache") work=$(realpath -m "$work")

script_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
vm_name=vm-usb
# shellcheck source-path=SCRIPTDIR
source "$script_dir/vm-run.sh"
need_guest_programs "$guest_test" "$helper"
# shellcheck disable=SC2119  # no tools beyond the guest's own
need_guest_tools
qemu-system-x86_64 -device help 2>/dev/null | grep -q '"usb-serial"' ||
    skip "this QEMU has no usb-serial device"

kernel_dir=$cache/kernel-generic
kernel=$(kernel_image linux-image-amd64 "$kernel_dir" './lib/modules/*/kernel/drivers/usb/*') ||
    skip "cannot fetch linux-image-amd64's kernel (see $APT_LOG)"
say "kernel $(basename "$kernel")"

# ---- initramfs ---------------------------------------------------------------------------

root=$work/initramfs
new_guest_root
add_guest_programs "$guest_test" "$helper"
add_qt_offscreen "$guest_test"

# Copies a module of the kernel's package into the guest after the modules it depends on (its
# .modinfo names them), and lists it in the guest's loading order.
loaded=' '
add_module() {
    local name=$1 file dependency
    [[ $loaded == *" $name "* ]] && return 0
    file=$(find "$kernel_dir/lib/modules" -name "$name.ko" | head -n 1)
    [[ -n $file ]] || fail "the kernel's package has no module $name"
    for dependency in $(objcopy -O binary --only-section=.modinfo "$file" /dev/stdout |
        tr '\0' '\n' | sed -n 's/^depends=//p' | tr ',' ' '); do
        add_module "$dependency"
    done
    cp "$file" "$root/quillmark/modules/"
    echo "$name" >>"$root/quillmark/modules/order"
    loaded+="$name "
}
mkdir -p "$root/quillmark/modules"
add_module xhci-pci
add_module ftdi_sio
say "modules in loading order: $(tr '\n' ' ' <"$root/quillmark/modules/order")"

initramfs=$work/initramfs.cpio.gz
pack_guest_root "$script_dir/guest-usb-init.sh" "$initramfs"
say "initramfs $(($(stat -c %s "$initramfs") / 1024 / 1024)) MB, built at $(elapsed) s"

# ---- boot --------------------------------------------------------------------------------

line=$work/adapter-line monitor=$work/monitor
rm -f "$line".{in,out} "$monitor".{in,out}
mkfifo "$line".{in,out} "$monitor".{in,out} || fail "cannot create the FIFOs"
cat "$line.out" >"$line.in" &  # the far end of the adapter's line: an echo
echo_pid=$!
cat "$monitor.out" >"$work/monitor.log" &
monitor_pid=$!

serial=QMUSB001 other_serial=QMUSB002
adapter="usb-serial,id=adapter,bus=xhci.0,port=1,chardev=line"
monitor_command() { echo "$1" >"$monitor.in"; }

# shellcheck disable=SC2054  # commas belong to the QEMU options
qemu=(qemu-system-x86_64 -accel tcg -M pc -m 512 -nodefaults -display none -no-reboot
    -kernel "$kernel" -initrd "$initramfs"
    -append "console=ttyS0 quiet panic=-1 quillmark_vm=1 quillmark_usb_serial=$serial quillmark_usb_other_serial=$other_serial"
    -chardev stdio,id=console,signal=off -serial chardev:console
    -chardev "pipe,id=monitor,path=$monitor" -mon chardev=monitor,mode=readline
    -chardev "pipe,id=line,path=$line,mux=on"
    -device qemu-xhci,id=xhci -device "$adapter,serial=$serial"
    -device isa-debug-exit,iobase=0xf4,iosize=0x04)

say "booting the guest"
boot_ns=$(date +%s%N)
status=''
while IFS= read -r text; do
    text=${text%$'\r'}
    if [[ $text == QEMU-EXIT* ]]; then
        status=${text#QEMU-EXIT }
        continue
    fi
    echo "guest| $text"
    case $text in
        USB-BREAK) printf '\001b' >"$line.in" ;;
        USB-UNPLUG) monitor_command "device_del adapter" ;;
        "USB-PLUG same") monitor_command "device_add $adapter,serial=$serial" ;;
        "USB-PLUG other") monitor_command "device_add $adapter,serial=$other_serial" ;;
        *) continue ;;
    esac
    echo "host| ${text#USB-} done"
done < <(timeout "$timeout_s" "${qemu[@]}" </dev/null 2>&1; echo "QEMU-EXIT $?")
kill "$echo_pid" "$monitor_pid" 2>/dev/null
wait "$echo_pid" "$monitor_pid" 2>/dev/null

say "guest ran $((($(date +%s%N) - boot_ns) / 1000000)) ms; whole run $(elapsed) s"
# The debug-exit device ends QEMU with (value << 1) | 1: 16 (pass) gives 33, 17 (fail) 35.
case $status in
    33) echo "PASS: the tester passed on ftdi_sio"; exit 0 ;;
    35) echo "FAIL: the tester failed in the guest"; exit 1 ;;
    124) echo "FAIL: the guest did not finish within $timeout_s s"; exit 1 ;;
    *) echo "FAIL: the guest ended without a verdict (QEMU exit status $status)"; exit 1 ;;
esac

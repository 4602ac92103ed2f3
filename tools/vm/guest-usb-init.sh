#!/bin/sh
# /init of the USB test guest: loads the generic kernel's USB host and FTDI drivers (listed in
# loading order by the host), runs the tester on the adapter QEMU plugs in, and reports the
# verdict to the host through the debug-exit port.
. /quillmark/guest-setup.sh

verdict=pass
echo "guest up after $(cut -d" " -f1 /proc/uptime) s: kernel $(uname -r)"
while read -r module; do
    insmod /quillmark/modules/"$module".ko || verdict=fail
done </quillmark/modules/order
echo "== tester on the USB adapter ($(cut -d" " -f1 /proc/uptime) s)"
timeout 90 /quillmark/quillmark_vm_guest_usb || verdict=fail
echo "== done ($(cut -d" " -f1 /proc/uptime) s)"

echo "VERDICT: $verdict"
if [ "$verdict" = pass ]; then
    /quillmark/quillmark_vm_helper exit 16
else
    /quillmark/quillmark_vm_helper exit 17
fi
poweroff -f

# Sourced first by every guest's /init: busybox's commands, the kernel's file systems, and
# the setting in which the guest programs run with Qt's offscreen platform.
export PATH=/bin:/sbin:/usr/bin:/usr/sbin
/bin/busybox --install -s
mount -t proc proc /proc
mount -t sysfs sysfs /sys
mount -t devtmpfs devtmpfs /dev
mkdir -p /tmp /run/lock /tmp/runtime
chmod 1777 /tmp /run/lock
chmod 700 /tmp/runtime

export QT_QPA_PLATFORM=offscreen
export QT_PLUGIN_PATH=@QT_PLUGIN_PATH@
export HOME=/tmp XDG_RUNTIME_DIR=/tmp/runtime

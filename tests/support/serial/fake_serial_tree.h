#pragma once

#include <QStringList>
#include <QTemporaryDir>

#include "system_folders.h"

// A sysfs, a /dev, a lock folder and a /proc in a temporary folder, holding the serial devices a
// test describes, so that finding and numbering ports never looks at this machine's own. The device
// nodes are empty files: nothing can open them as a port.
class FakeSerialTree {
public:
    FakeSerialTree();

    bool ok() const { return dir_.isValid(); }
    QString root() const { return dir_.path(); }
    SystemFolders folders() const;

    // Adds a device from fields separated by ';', the name first:
    //   "ttyS0; type=4; console"  a native UART of that sysfs type, optionally the console
    //   "ttyUSB0; usb=FTDI|FT232R USB UART|A10K3ABC; by-path=pci-0000:00:14.0-usb-0:2:1.0-port0"
    //                            a USB device (maker|product|serial) in that socket
    //   "...; by-id=usb-FTDI_FT232R_USB_UART_A10K3ABC-if00-port0"  its udev name by ID
    //   "...; socket=1-4"         the USB device's place on the bus; one of its own by default
    //   "ttyAMA0"                 any other device
    //   "...; active-console"     the kernel's console, named in class/tty/console/active
    //   "...; getty=612"          the controlling terminal of an agetty of that PID
    //   "...; locked-by=picocom|1"  locked by that program, a live PID
    bool add(const QString& description);
    // The device is pulled out: its sysfs entry, node and by-path link go.
    bool remove(const QString& name);

private:
    QString path(const QString& relative) const { return dir_.filePath(relative); }

    QTemporaryDir dir_;
    int devices_ = 0;
};

#pragma once

#include <sys/types.h>

#include <QString>

// What sysfs tells of a tty, from its entry (/sys/class/tty/<name>, /sys/dev/char/<M>:<m>).
// Both the port numbering and the check before an open decide by these, so they agree on
// what a serial port is.
namespace SysfsTty {

// An attribute's text, trimmed; empty where there is none.
QString attribute(const QString& entry, const char* name);

// Hardware behind it: consoles, virtual terminals, /dev/tty and /dev/ptmx have no device.
bool hasDevice(const QString& entry);

// A native UART's node with no chip fitted: its type is 0.
bool hasNoChipFitted(const QString& entry);

// The kernel's name of the character device `device` ("ttyUSB0", "pts/3"), whatever path
// reached it: from its sysfs entry, or from the number for a pseudo-terminal slave, which has
// none. Empty when sysfs does not know it.
QString deviceName(dev_t device, const QString& sysRoot);

}  // namespace SysfsTty

namespace SysfsTty {

// The entry of the character device `device` below `sysRoot`.
QString charEntry(const QString& sysRoot, unsigned long long device);

// The name of the driver serving the tty ("ftdi_sio", "cdc_acm", "serial8250"): the driver
// bound to its device, or else to the nearest device above it; empty where sysfs names none.
QString driverName(const QString& entry);

}  // namespace SysfsTty

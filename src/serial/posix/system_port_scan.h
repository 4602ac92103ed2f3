#pragma once

#include <sys/types.h>

#include <QString>
#include <vector>

#include "system_folders.h"

// A serial device the system has now, as sysfs and /dev/serial tell it.
struct FoundSerialDevice {
    QString name;        // "ttyUSB0"
    QString path;        // "/dev/ttyUSB0", in the device folder
    QString byPath;      // its name in /dev/serial/by-path (which socket it is in), or empty
    int uartIndex = -1;  // k of a native UART ttyS<k>; -1 for any other device
    // What it is, for the user: "FTDI FT232R USB UART, serial A10K3ABC", "16550A UART"; may
    // be empty.
    QString description;
    dev_t device = 0;  // its number, from sysfs
    // Why it takes no number unless the user names it: "system console", "controlling
    // terminal of agetty, PID 612"; empty for a port free to number.
    QString withheld;
    // "in use by picocom, PID 4242"; empty when nobody holds it.
    QString heldBy;
};

// Finds the serial devices from sysfs and /dev/serial alone, opening none of them: every tty
// with a device behind it, except the native UARTs that have no chip fitted (sysfs type 0,
// the legacy ports a PC's driver registers whether or not they exist). A kernel console, or a
// tty that a process has as its controlling terminal (a getty), is found but withheld: opening
// it would write into the console or under a login.
class SystemPortScan {
public:
    explicit SystemPortScan(SystemFolders folders = {}) : folders_(std::move(folders)) {}

    // In the order of their names.
    std::vector<FoundSerialDevice> devices() const;

private:
    SystemFolders folders_;
};

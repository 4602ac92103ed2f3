#pragma once

#include <QString>

// Where the system keeps what the serial device room reads and writes: sysfs, the device
// nodes and the lock files of serial ports. Tests point them at a temporary tree.
struct SystemFolders {
    QString sys = QStringLiteral("/sys");
    QString dev = QStringLiteral("/dev");
    // /var/lock is the same folder on Debian.
    QString lock = QStringLiteral("/run/lock");
};

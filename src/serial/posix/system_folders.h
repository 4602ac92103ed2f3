#pragma once

#include <QString>

// Where the system keeps what the serial device room reads and writes: sysfs, the device
// nodes, the lock files of serial ports and the process table. Tests point them at a
// temporary tree.
struct SystemFolders {
    QString sys = QStringLiteral("/sys");
    QString dev = QStringLiteral("/dev");
    // /var/lock is the same folder on Debian. QUILLMARK_LOCK_DIR names another, so that a
    // test run keeps out of the machine's own.
    QString lock = defaultLockFolder();
    QString proc = QStringLiteral("/proc");

    static QString defaultLockFolder() {
        const QString asked = qEnvironmentVariable("QUILLMARK_LOCK_DIR");
        return asked.isEmpty() ? QStringLiteral("/run/lock") : asked;
    }
};

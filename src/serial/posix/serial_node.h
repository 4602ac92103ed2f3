#pragma once

#include <sys/types.h>

#include <QString>

// A path found to name a serial tty, checked before anything takes a lock on it or opens it:
// opening a device node has effects of its own (a watchdog starts, a tty raises DTR and RTS).
struct SerialNode {
    dev_t device = 0;
    // The path with every symbolic link resolved, so that all aliases meet one lock.
    QString canonicalPath;

    // Pseudo-terminals carry no character format and have no modem lines.
    bool isPseudoTerminalSlave() const;
};

// Looks at `path` with stat() and at its entry in sysfs (below `sysRoot`), opening nothing.
// It must be a character device of the tty class with hardware behind it, and not a legacy
// native UART without a chip; a pseudo-terminal slave is accepted too. Throws CommError
// InvalidPortNumber naming the path and why otherwise, or the error stat() tells.
SerialNode checkSerialNode(const QString& path, const QString& sysRoot);

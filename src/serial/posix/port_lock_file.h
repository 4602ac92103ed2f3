#pragma once

#include <QString>

// Turns a second tester away from a device this one holds, before it opens the device: the
// kernel raises DTR and RTS on every open, and TIOCEXCL does not stop root. The lock is an
// flock on a file named after the device itself, so that every alias of it meets the same
// lock. Where the lock folder cannot be written no lock is taken; the flock on the device
// still refuses the second opener, after its open.
class PortLockFile {
public:
    // Where the lock files live.
    static inline const QString kFolder = QStringLiteral("/run/lock");

    // Throws CommError PortAlreadyOpen when another process holds the lock.
    explicit PortLockFile(const QString& path);
    // Closing the file drops the lock.
    ~PortLockFile();
    PortLockFile(const PortLockFile&) = delete;
    PortLockFile& operator=(const PortLockFile&) = delete;

private:
    int fd_ = -1;
};

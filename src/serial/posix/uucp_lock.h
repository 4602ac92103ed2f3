#pragma once

#include <QByteArray>
#include <QString>

// The lock that serial programs on Linux agree on: a file LCK..<name> in the lock folder
// holding the owner's PID as ten ASCII characters and a newline. It is honoured before the
// device opens, since opening raises DTR and RTS under the holder; TIOCEXCL does not stop
// root, and other programs do not see an flock.
//
// A lock whose process is gone is stale and is replaced. The lock folder's files are never
// followed through a symbolic link. Where the folder cannot be written (no permission, no
// folder) no lock is taken: the flock and TIOCEXCL on the open device still keep others out.
class UucpLock {
public:
    // Locks the device at `canonicalPath`. Throws CommError PortAlreadyOpen, naming `path` and
    // the lock file, when a live process holds the lock or the lock file holds no readable PID
    // (it is then left for the user to judge).
    UucpLock(const QString& canonicalPath, const QString& folder, const QString& path);
    // Removes the lock file if it still holds this process's PID.
    ~UucpLock();
    UucpLock(const UucpLock&) = delete;
    UucpLock& operator=(const UucpLock&) = delete;

    // "LCK.." and the device's path below /dev, or from the root for a node elsewhere, with
    // '/' turned into '_': /dev/ttyUSB0 gives LCK..ttyUSB0, /dev/pts/3 gives LCK..pts_3.
    static QString fileName(const QString& canonicalPath);
    bool taken() const { return !file_.isEmpty(); }

private:
    QByteArray file_;  // empty: no lock taken
};

#pragma once

#include <sys/types.h>

#include <QByteArray>
#include <QString>

#include "system_folders.h"

// What a lock file says about its holder.
struct LockHolder {
    enum Kind { None, Alive, Gone, Unreadable } kind = None;
    pid_t pid = 0;
};

// The lock that serial programs on Linux agree on: a file LCK..<name> in the lock folder
// holding the owner's PID. It is honoured before the device opens, since opening raises DTR
// and RTS under the holder; TIOCEXCL does not stop root, and other programs do not see an
// flock. The PID is read in each form peers write: ten ASCII characters, right-aligned, with
// or without a newline, or the old 4-byte binary integer; this program writes the first.
//
// A lock whose process is gone is stale and is replaced. The lock folder's files are never
// followed through a symbolic link. Only where the folder itself cannot be written (no
// permission, no folder) is no lock taken: the flock and TIOCEXCL on the open device still
// keep others out. Wherever a lock could be taken but this one cannot, the open is refused.
class UucpLock {
public:
    // Locks the tty whose kernel name is `deviceName` ("ttyUSB0", "pts/3"). Throws CommError,
    // naming `path`, the lock file and its holder or owner: PortAlreadyOpen when a live
    // process holds the lock, when the lock file holds no readable PID (it is then left for
    // the user to judge) or when a stale lock cannot be removed; OpenFailed when something
    // else blocks the names the lock is made under.
    UucpLock(const QString& deviceName, const SystemFolders& folders, const QString& path);
    // Removes the lock file if it still holds this process's PID.
    ~UucpLock();
    UucpLock(const UucpLock&) = delete;
    UucpLock& operator=(const UucpLock&) = delete;

    // "LCK.." and the kernel's name of the device with '/' turned into '_': ttyUSB0 gives
    // LCK..ttyUSB0, pts/3 gives LCK..pts_3.
    static QString fileName(const QString& deviceName);
    // Who holds the lock on the device now.
    static LockHolder holderOf(const QString& deviceName, const QString& lockFolder);
    bool taken() const { return !file_.isEmpty(); }

private:
    QByteArray file_;  // empty: no lock taken
};

#include "exclusive_use.h"

#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>

#include <cerrno>

#include "device_loss.h"
#include "open_errors.h"

void takeExclusiveUse(int fd, const QString& path) {
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int err = errno;
        if (err == EWOULDBLOCK)
            throw inUse(path);
        throw CommError(CommErrors::OpenFailed,
                        describeSystemError(QStringLiteral("Locking"), path, err));
    }
    if (::ioctl(fd, TIOCEXCL) != 0) {
        const int err = errno;
        if (DeviceLoss::meansGone(err))
            throw openError(path, err);
        throw CommError(CommErrors::OpenFailed,
                        describeSystemError(QStringLiteral("Reserving"), path, err));
    }
}

void releaseExclusiveUse(int fd) {
    ::ioctl(fd, TIOCNXCL);
    ::flock(fd, LOCK_UN);
}

#include "port_lock_file.h"

#include <QFileInfo>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

#include "open_errors.h"

PortLockFile::PortLockFile(const QString& path) {
    const QString device = QFileInfo(path).canonicalFilePath();
    if (device.isEmpty())
        return;  // opening tells what is wrong with it
    const QString lockPath =
        QStringLiteral("%1/quillmark.%2.lock").arg(kFolder, QFileInfo(device).fileName());
    fd_ = ::open(lockPath.toLocal8Bit().constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd_ < 0)
        return;
    if (::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
        const int err = errno;
        ::close(fd_);
        fd_ = -1;
        if (err == EWOULDBLOCK)
            throw inUse(path);
    }
}

PortLockFile::~PortLockFile() {
    if (fd_ >= 0)
        ::close(fd_);
}

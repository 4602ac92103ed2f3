#include "system_tty.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>

#include "exclusive_use.h"
#include "open_errors.h"

namespace {

// Unix98 pseudo-terminal slaves use majors 136-143, the legacy ones major 3.
bool isPseudoTerminalDevice(int fd) {
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISCHR(st.st_mode))
        return false;
    const unsigned int devMajor = major(st.st_rdev);
    return devMajor == 3 || (devMajor >= 136 && devMajor <= 143);
}

}  // namespace

SystemTty::SystemTty(const QString& path) : path_(path), reservation_(path), lockFile_(path) {
    fd_ = ::open(path_.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd_ < 0)
        throw openError(path_, errno);
    try {
        if (!::isatty(fd_))
            throw noSuchPort(path_, QStringLiteral("it is not a terminal device"));
        pseudoTerminal_ = isPseudoTerminalDevice(fd_);
        takeExclusiveUse(fd_, path_);
    } catch (...) {
        ::close(fd_);
        throw;
    }
}

SystemTty::~SystemTty() {
    ::tcflush(fd_, TCOFLUSH);
    releaseExclusiveUse(fd_);
    ::close(fd_);
}

void SystemTty::discardInput() {
    ::tcflush(fd_, TCIFLUSH);
}

#include "system_tty.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>

#include "exclusive_use.h"
#include "open_errors.h"
#include "port_holders.h"
#include "sysfs_tty.h"

namespace {

// Opens the very node that was checked, through a handle that no driver sees: a path
// swapped for another file since the check is refused before anything opens it.
UniqueFd openCheckedNode(const QString& path, const SerialNode& node) {
    const UniqueFd handle(::open(path.toLocal8Bit().constData(), O_PATH | O_CLOEXEC));
    if (!handle.valid())
        throw openError(path, errno);
    struct stat st {};
    if (::fstat(handle.get(), &st) != 0 || !S_ISCHR(st.st_mode) || st.st_rdev != node.device)
        throw noSuchPort(path, QStringLiteral("it changed while it was being opened"));
    const QByteArray byHandle = "/proc/self/fd/" + QByteArray::number(handle.get());
    UniqueFd fd(::open(byHandle.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    if (!fd.valid())
        throw openError(path, errno);
    return fd;
}

// The kernel's name of the device, so that every path to it (/dev/ttyUSB0, a by-id link, a
// second node) meets one lock. openCheckedNode() opens nothing but this device number.
QString lockName(const SerialNode& node, const QString& sysRoot) {
    const QString name = SysfsTty::deviceName(node.device, sysRoot);
    if (!name.isEmpty())
        return name;
    const QString path = node.canonicalPath;
    return path.startsWith(QLatin1String("/dev/")) ? path.mid(5) : path.mid(1);
}

// A peer that takes no lock file, or only an flock, is seen in the process table before our
// open() can move its lines; the flock and TIOCEXCL remain the last word.
void refuseIfOpenElsewhere(const QString& path, const SerialNode& node, const QString& procRoot) {
    const TtyUsers users(procRoot, TtyUsers::OpenFilesToo);
    const QString heldBy = heldByText(users.holding(node.device), path);
    if (heldBy.isEmpty())
        return;
    const QString text = path + QStringLiteral(" is ") + heldBy;
    throw CommError(CommErrors::PortAlreadyOpen, text.endsWith('.') ? text : text + '.');
}

// Whether the open node was made under a second ago. Its status change time tells: devtmpfs
// makes the node as the device appears and udev sets owner and mode at once. sysfs's times
// would not: they are those of an inode the kernel makes when it is first looked at.
bool madeUnderASecondAgo(int fd) {
    struct stat st {};
    timespec now{};
    if (::fstat(fd, &st) != 0 || ::clock_gettime(CLOCK_REALTIME, &now) != 0)
        return false;
    const double age =
        double(now.tv_sec - st.st_ctim.tv_sec) + double(now.tv_nsec - st.st_ctim.tv_nsec) * 1e-9;
    return age >= 0 && age < 1.0;
}

}  // namespace

SystemTty::SystemTty(const QString& path, const SystemFolders& folders)
    : path_(path),
      node_(checkSerialNode(path, folders.sys)),
      sysfsEntry_(node_.isPseudoTerminalSlave() ? QString()
                                                : SysfsTty::charEntry(folders.sys, node_.device)),
      reservation_(node_.device, path),
      lock_(lockName(node_, folders.sys), folders, path) {
    refuseIfOpenElsewhere(path_, node_, folders.proc);
    // On a throw below, the descriptor closes before the lock and the reservation go.
    fd_ = openCheckedNode(path_, node_);
    if (!::isatty(fd()))
        throw noSuchPort(path_, QStringLiteral("it is not a terminal device"));
    if (::tcgetattr(fd(), &found_) != 0)
        throw openError(path_, errno);
    takeExclusiveUse(fd(), path_);
    appearedJustBeforeOpen_ = !sysfsEntry_.isEmpty() && madeUnderASecondAgo(fd());
}

SystemTty::~SystemTty() {
    ::tcflush(fd(), TCOFLUSH);
    // Whoever uses the tty next, or still has it open, finds it as this program found it.
    ::tcsetattr(fd(), TCSANOW, &found_);
    releaseExclusiveUse(fd());
}

void SystemTty::discardInput() {
    ::tcflush(fd(), TCIFLUSH);
}

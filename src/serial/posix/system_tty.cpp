#include "system_tty.h"

#include <QFileInfo>

#include <fcntl.h>
#include <grp.h>
#include <linux/serial.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <mutex>
#include <set>
#include <vector>

#include "comm_error.h"

namespace {

// The ttys this process holds, by device number, whatever path named them. A second open
// of a held tty is refused before open() reaches the driver: the kernel raises DTR and RTS
// on every open, and TIOCEXCL does not stop root, so the holder's lines would jump.
class HeldDevices {
public:
    static bool reserve(dev_t device) {
        std::lock_guard lock(mutex());
        return held().insert(device).second;
    }
    static void release(dev_t device) {
        std::lock_guard lock(mutex());
        held().erase(device);
    }

private:
    static std::mutex& mutex() {
        static std::mutex m;
        return m;
    }
    static std::set<dev_t>& held() {
        static std::set<dev_t> devices;
        return devices;
    }
};

QString systemMessage(int err) {
    return QString::fromLocal8Bit(std::strerror(err));
}

QString owningGroup(const QString& path) {
    struct stat st {};
    if (::stat(path.toLocal8Bit().constData(), &st) != 0)
        return {};
    std::vector<char> buffer(4096);
    group entry{};
    group* found = nullptr;
    if (getgrgid_r(st.st_gid, &entry, buffer.data(), buffer.size(), &found) != 0 || !found)
        return {};
    return QString::fromLocal8Bit(found->gr_name);
}

CommError accessDenied(const QString& path) {
    const QString group = owningGroup(path);
    const QString how =
        group.isEmpty() || group == QLatin1String("root")
            ? QStringLiteral(
                  "membership of the group that owns it (typically "
                  "dialout)")
            : QStringLiteral("membership of the group \"%1\" that owns it").arg(group);
    return CommError(CommErrors::PermissionDenied,
                     QStringLiteral("Permission denied opening %1: this user needs read and write "
                                    "access to it, for example %2 (log in again after joining a "
                                    "group).")
                         .arg(path, how));
}

CommError noSuchPort(const QString& path, const QString& why) {
    return CommError(CommErrors::InvalidPortNumber,
                     QStringLiteral("%1 is not a usable serial port: %2.").arg(path, why));
}

CommError inUse(const QString& path) {
    return CommError(CommErrors::PortAlreadyOpen,
                     QStringLiteral("%1 is already in use, by another program or by another "
                                    "port number of this one.")
                         .arg(path));
}

CommError openError(const QString& path, int err) {
    switch (err) {
        case ENOENT:
            return noSuchPort(path, QStringLiteral("it does not exist"));
        case ENXIO:
        case ENODEV:
        case EIO:
            return noSuchPort(
                path,
                QStringLiteral("no working device answers behind it (%1)").arg(systemMessage(err)));
        case EISDIR:
        case ENOTDIR:
            return noSuchPort(path, QStringLiteral("it is not a device"));
        case EBUSY:
            return inUse(path);
        case EACCES:
        case EPERM:
            return accessDenied(path);
        default:
            return CommError(CommErrors::OpenFailed,
                             describeSystemError(QStringLiteral("Opening"), path, err));
    }
}

// Unix98 pseudo-terminal slaves use majors 136-143, the legacy ones major 3.
bool isPseudoTerminalDevice(int fd) {
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISCHR(st.st_mode))
        return false;
    const unsigned int devMajor = major(st.st_rdev);
    return devMajor == 3 || (devMajor >= 136 && devMajor <= 143);
}

speed_t speedConstant(int baud) {
    switch (baud) {
        case 50:
            return B50;
        case 75:
            return B75;
        case 110:
            return B110;
        case 134:
            return B134;
        case 150:
            return B150;
        case 200:
            return B200;
        case 300:
            return B300;
        case 600:
            return B600;
        case 1200:
            return B1200;
        case 1800:
            return B1800;
        case 2400:
            return B2400;
        case 4800:
            return B4800;
        case 9600:
            return B9600;
        case 19200:
            return B19200;
        case 38400:
            return B38400;
        case 57600:
            return B57600;
        case 115200:
            return B115200;
        case 230400:
            return B230400;
        case 460800:
            return B460800;
        case 500000:
            return B500000;
        case 576000:
            return B576000;
        case 921600:
            return B921600;
        case 1000000:
            return B1000000;
        case 1152000:
            return B1152000;
        case 1500000:
            return B1500000;
        case 2000000:
            return B2000000;
        default:
            return B0;
    }
}

tcflag_t characterSize(int dataBits) {
    switch (dataBits) {
        case 5:
            return CS5;
        case 6:
            return CS6;
        case 7:
            return CS7;
        default:
            return CS8;
    }
}

tcflag_t parityFlags(LineSettings::Parity parity) {
    switch (parity) {
        case LineSettings::Parity::Even:
            return PARENB;
        case LineSettings::Parity::Odd:
            return PARENB | PARODD;
        // With CMSPAR the parity bit is fixed: 1 with PARODD, 0 without.
        case LineSettings::Parity::Mark:
            return PARENB | CMSPAR | PARODD;
        case LineSettings::Parity::Space:
            return PARENB | CMSPAR;
        case LineSettings::Parity::None:
            break;
    }
    return 0;
}

}  // namespace

void makeRawTermios(termios& t, const LineSettings& settings) {
    // Input checks on so that the kernel marks bad bytes and breaks (\377 \0 X) instead of
    // passing or dropping them silently.
    t.c_iflag &= ~(IGNBRK | BRKINT | IGNPAR | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF |
                   IXANY | IMAXBEL | IUCLC | IUTF8);
    t.c_iflag |= INPCK | PARMRK;
    t.c_oflag = 0;
    t.c_lflag = 0;
    t.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
    t.c_cflag |= CLOCAL | CREAD | characterSize(settings.dataBits) | parityFlags(settings.parity);
    // A UART sends 1.5 stop bits for "two" when the character has 5 data bits.
    if (settings.stopBits != LineSettings::StopBits::One)
        t.c_cflag |= CSTOPB;
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
}

bool isUnsupportedIoctl(int err) {
    return err == ENOTTY || err == EINVAL;
}

bool meansDeviceGone(int err) {
    return err == EIO || err == ENXIO || err == ENODEV;
}

SystemTty::SystemTty(const QString& path) : path_(path) {
    reserveInThisProcess();
    try {
        lockAgainstOtherProcesses();
        openDevice();
    } catch (...) {
        releaseLockFile();
        releaseReservation();
        throw;
    }
}

// The kernel raises DTR and RTS on every open of a tty, and TIOCEXCL does not stop root, so
// a second tester must be turned away before it opens the device: by a lock file named after
// the device itself, so that every alias of it meets the same lock. Where the lock folder
// cannot be written, the flock on the device still refuses the second opener, after its open.
void SystemTty::lockAgainstOtherProcesses() {
    const QString device = QFileInfo(path_).canonicalFilePath();
    if (device.isEmpty())
        return;  // opening tells what is wrong with it
    const QString lockPath =
        QStringLiteral("%1/quillmark.%2.lock").arg(kLockFolder, QFileInfo(device).fileName());
    lockFd_ = ::open(lockPath.toLocal8Bit().constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (lockFd_ < 0)
        return;
    if (::flock(lockFd_, LOCK_EX | LOCK_NB) != 0) {
        const int err = errno;
        ::close(lockFd_);
        lockFd_ = -1;
        if (err == EWOULDBLOCK)
            throw inUse(path_);
    }
}

void SystemTty::releaseLockFile() {
    if (lockFd_ >= 0)
        ::close(lockFd_);  // closing drops the flock
    lockFd_ = -1;
}

void SystemTty::reserveInThisProcess() {
    struct stat st {};
    if (::stat(path_.toLocal8Bit().constData(), &st) != 0 || !S_ISCHR(st.st_mode))
        return;  // opening tells what is wrong with it
    if (!HeldDevices::reserve(st.st_rdev))
        throw inUse(path_);
    reservedDevice_ = st.st_rdev;
}

void SystemTty::releaseReservation() {
    if (reservedDevice_)
        HeldDevices::release(*reservedDevice_);
}

void SystemTty::openDevice() {
    fd_ = ::open(path_.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd_ < 0)
        throw openError(path_, errno);
    try {
        if (!::isatty(fd_))
            throw noSuchPort(path_, QStringLiteral("it is not a terminal device"));
        pseudoTerminal_ = isPseudoTerminalDevice(fd_);
        takeExclusiveUse();
    } catch (...) {
        ::close(fd_);
        throw;
    }
}

void SystemTty::takeExclusiveUse() {
    // The flock also stops openers that TIOCEXCL lets through (root, this process).
    if (::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
        const int err = errno;
        if (err == EWOULDBLOCK)
            throw inUse(path_);
        throw CommError(CommErrors::OpenFailed,
                        describeSystemError(QStringLiteral("Locking"), path_, err));
    }
    if (::ioctl(fd_, TIOCEXCL) != 0) {
        const int err = errno;
        if (meansDeviceGone(err))
            throw openError(path_, err);
        throw CommError(CommErrors::OpenFailed,
                        describeSystemError(QStringLiteral("Reserving"), path_, err));
    }
}

SystemTty::~SystemTty() {
    ::tcflush(fd_, TCOFLUSH);
    ::ioctl(fd_, TIOCNXCL);
    ::flock(fd_, LOCK_UN);
    ::close(fd_);
    releaseLockFile();
    releaseReservation();
}

void SystemTty::applySettings(const LineSettings& settings) {
    const auto rejected = [&](const QString& why) {
        return CommError(CommErrors::SettingsRejected,
                         QStringLiteral("The settings %1 cannot be used on %2: %3.")
                             .arg(settings.toText(), path_, why));
    };
    const speed_t speed = speedConstant(settings.baud);
    if (speed == B0)
        throw rejected(QStringLiteral("the speed is not supported"));

    termios wanted{};
    if (::tcgetattr(fd_, &wanted) != 0)
        throw rejected(systemMessage(errno));
    makeRawTermios(wanted, settings);
    ::cfsetispeed(&wanted, speed);
    ::cfsetospeed(&wanted, speed);
    if (::tcsetattr(fd_, TCSANOW, &wanted) != 0)
        throw rejected(systemMessage(errno));

    // tcsetattr succeeds if any part was taken; a driver quietly keeps what it cannot do.
    termios applied{};
    if (::tcgetattr(fd_, &applied) != 0)
        throw rejected(systemMessage(errno));
    if (::cfgetospeed(&applied) != speed)
        throw rejected(QStringLiteral("the device does not support %1 baud").arg(settings.baud));
    tcflag_t format = CSIZE | CSTOPB | PARENB;
    if (wanted.c_cflag & PARENB)
        format |= PARODD | CMSPAR;
    if (!pseudoTerminal_ && (applied.c_cflag & format) != (wanted.c_cflag & format))
        throw rejected(QStringLiteral("the device does not support this character format"));
}

void SystemTty::discardInput() {
    ::tcflush(fd_, TCIFLUSH);
}

int SystemTty::setModemBits(int bits, bool on) {
    return ::ioctl(fd_, on ? TIOCMBIS : TIOCMBIC, &bits) == 0 ? 0 : errno;
}

int SystemTty::readLevels(LineSnapshot::Levels& levels) {
    int bits = 0;
    if (::ioctl(fd_, TIOCMGET, &bits) != 0)
        return errno;
    levels.cts = bits & TIOCM_CTS;
    levels.dsr = bits & TIOCM_DSR;
    levels.cd = bits & TIOCM_CAR;
    levels.ring = bits & TIOCM_RNG;
    return 0;
}

int SystemTty::readCounters(LineSnapshot::Counters& counters) {
    serial_icounter_struct icount{};
    if (::ioctl(fd_, TIOCGICOUNT, &icount) != 0)
        return errno;
    counters.cts = static_cast<std::uint32_t>(icount.cts);
    counters.dsr = static_cast<std::uint32_t>(icount.dsr);
    counters.dcd = static_cast<std::uint32_t>(icount.dcd);
    counters.rng = static_cast<std::uint32_t>(icount.rng);
    counters.frame = static_cast<std::uint32_t>(icount.frame);
    counters.parity = static_cast<std::uint32_t>(icount.parity);
    counters.overrun = static_cast<std::uint32_t>(icount.overrun);
    counters.brk = static_cast<std::uint32_t>(icount.brk);
    counters.bufOverrun = static_cast<std::uint32_t>(icount.buf_overrun);
    return 0;
}

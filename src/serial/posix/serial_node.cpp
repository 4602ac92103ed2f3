#include "serial_node.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <QFileInfo>
#include <cerrno>

#include "open_errors.h"
#include "sysfs_tty.h"

// Unix98 pseudo-terminal slaves, majors 136 to 143; they have no entry in sysfs.
bool SerialNode::isPseudoTerminalSlave() const {
    const unsigned int devMajor = major(device);
    return devMajor >= 136 && devMajor <= 143;
}

namespace {

// Why sysfs says the character device is no serial port; empty when it is one.
QString whyNotSerial(dev_t device, const QString& sysRoot) {
    const QString entry =
        QStringLiteral("%1/dev/char/%2:%3").arg(sysRoot).arg(major(device)).arg(minor(device));
    const QString subsystem = QFileInfo(entry + QStringLiteral("/subsystem")).canonicalFilePath();
    if (!subsystem.endsWith(QLatin1String("/class/tty")))
        return QStringLiteral("it is not a terminal device");
    if (!SysfsTty::hasDevice(entry))
        return QStringLiteral("it is a terminal without serial hardware behind it");
    if (SysfsTty::hasNoChipFitted(entry))
        return QStringLiteral("no UART is fitted behind this legacy serial port");
    return {};
}

// What a path that is no character device is, for the user.
QString whatItIsInstead(mode_t mode) {
    if (S_ISREG(mode))
        return QStringLiteral("it is a regular file, not a device");
    if (S_ISDIR(mode))
        return QStringLiteral("it is a folder, not a device");
    if (S_ISFIFO(mode))
        return QStringLiteral("it is a named pipe (FIFO), not a device");
    if (S_ISSOCK(mode))
        return QStringLiteral("it is a socket, not a device");
    if (S_ISBLK(mode))
        return QStringLiteral("it is a block device (a disk), not a terminal");
    return QStringLiteral("it is not a device");
}

}  // namespace

SerialNode checkSerialNode(const QString& path, const QString& sysRoot) {
    struct stat st {};
    if (::stat(path.toLocal8Bit().constData(), &st) != 0)
        throw openError(path, errno);
    if (!S_ISCHR(st.st_mode))
        throw noSuchPort(path, whatItIsInstead(st.st_mode));
    const SerialNode node{st.st_rdev, QFileInfo(path).canonicalFilePath()};
    if (!node.isPseudoTerminalSlave()) {
        const QString why = whyNotSerial(node.device, sysRoot);
        if (!why.isEmpty())
            throw noSuchPort(path, why);
    }
    return node;
}

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

}  // namespace

SerialNode checkSerialNode(const QString& path, const QString& sysRoot) {
    struct stat st {};
    if (::stat(path.toLocal8Bit().constData(), &st) != 0)
        throw openError(path, errno);
    if (!S_ISCHR(st.st_mode))
        throw noSuchPort(path, QStringLiteral("it is not a device"));
    const SerialNode node{st.st_rdev, QFileInfo(path).canonicalFilePath()};
    if (!node.isPseudoTerminalSlave()) {
        const QString why = whyNotSerial(node.device, sysRoot);
        if (!why.isEmpty())
            throw noSuchPort(path, why);
    }
    return node;
}

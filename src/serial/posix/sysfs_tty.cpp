#include "sysfs_tty.h"

#include <sys/sysmacros.h>

#include <QFile>
#include <QFileInfo>

namespace SysfsTty {

QString attribute(const QString& entry, const char* name) {
    QFile file(entry + '/' + QLatin1String(name));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.read(256)).trimmed();
}

bool hasDevice(const QString& entry) {
    return QFileInfo::exists(entry + QStringLiteral("/device"));
}

bool hasNoChipFitted(const QString& entry) {
    return attribute(entry, "type") == QLatin1String("0");
}

QString deviceName(dev_t device, const QString& sysRoot) {
    const unsigned int devMajor = major(device);
    if (devMajor >= 136 && devMajor <= 143)  // Unix98 pseudo-terminal slaves
        return QStringLiteral("pts/%1").arg((devMajor - 136) * 256 + minor(device));
    const QString entry =
        QStringLiteral("%1/dev/char/%2:%3").arg(sysRoot).arg(devMajor).arg(minor(device));
    QFile uevent(entry + QStringLiteral("/uevent"));
    if (uevent.open(QIODevice::ReadOnly))
        for (const QByteArray& line : uevent.read(4096).split('\n'))
            if (line.startsWith("DEVNAME="))
                return QString::fromUtf8(line.mid(8));
    return QFileInfo(QFileInfo(entry).canonicalFilePath()).fileName();
}

}  // namespace SysfsTty

namespace SysfsTty {

QString charEntry(const QString& sysRoot, unsigned long long device) {
    return QStringLiteral("%1/dev/char/%2:%3")
        .arg(sysRoot)
        .arg(major(static_cast<dev_t>(device)))
        .arg(minor(static_cast<dev_t>(device)));
}

QString driverName(const QString& entry) {
    // The serial core's own "port" and "ctrl" devices stand between a UART's tty and the
    // device whose driver tells what it is.
    QString folder = entry + QStringLiteral("/device");
    for (int up = 0; up < 4; ++up, folder += QStringLiteral("/..")) {
        const QString target = QFileInfo(folder + QStringLiteral("/driver")).canonicalFilePath();
        const QString name = QFileInfo(target).fileName();
        if (!target.isEmpty() && name != QLatin1String("port") && name != QLatin1String("ctrl"))
            return name;
    }
    return {};
}

}  // namespace SysfsTty

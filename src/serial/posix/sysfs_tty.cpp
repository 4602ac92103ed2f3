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

}  // namespace SysfsTty

namespace SysfsTty {

QString charEntry(const QString& sysRoot, unsigned long long device) {
    return QStringLiteral("%1/dev/char/%2:%3")
        .arg(sysRoot)
        .arg(major(static_cast<dev_t>(device)))
        .arg(minor(static_cast<dev_t>(device)));
}

QString driverName(const QString& entry) {
    for (const char* link : {"/device/driver", "/device/../driver"}) {
        const QString target = QFileInfo(entry + QLatin1String(link)).canonicalFilePath();
        if (!target.isEmpty())
            return QFileInfo(target).fileName();
    }
    return {};
}

}  // namespace SysfsTty

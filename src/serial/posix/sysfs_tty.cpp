#include "sysfs_tty.h"

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

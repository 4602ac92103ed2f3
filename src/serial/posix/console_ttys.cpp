#include "console_ttys.h"

#include <QFile>

namespace {

QByteArray contentOf(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.read(4096) : QByteArray();
}

}  // namespace

QSet<QString> kernelConsoles(const QString& sysRoot, const QString& procRoot) {
    QSet<QString> names;
    for (const QByteArray& name :
         contentOf(sysRoot + QStringLiteral("/class/tty/console/active")).simplified().split(' '))
        if (!name.isEmpty())
            names.insert(QString::fromUtf8(name));
    // One console a line, its name first: "ttyS0  -W- (EC p a)    4:64".
    for (const QByteArray& line : contentOf(procRoot + QStringLiteral("/consoles")).split('\n')) {
        const QByteArray name = line.simplified().split(' ').value(0);
        if (!name.isEmpty())
            names.insert(QString::fromUtf8(name));
    }
    return names;
}

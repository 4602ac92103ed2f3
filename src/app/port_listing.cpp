#include "port_listing.h"

#include <QDir>
#include <QFileInfo>
#include <QTextStream>
#include <variant>

namespace {

// A tty with a device behind it is a serial port; virtual consoles and ptys have none.
QStringList systemSerialDevices() {
    QStringList devices;
    const QDir classDir(QStringLiteral("/sys/class/tty"));
    for (const QString& name : classDir.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name)) {
        if (QFileInfo::exists(classDir.filePath(name + QStringLiteral("/device"))))
            devices << QStringLiteral("/dev/") + name;
    }
    return devices;
}

QString portsReaching(const PortMap& map, const QString& device) {
    QStringList ports;
    const QString canonical = QFileInfo(device).canonicalFilePath();
    for (int n = PortNumbers::kFirst; n <= PortNumbers::kLast; ++n) {
        const PortMap::Target target = map.targetFor(n);
        const QString* path = std::get_if<QString>(&target);
        if (path && (*path == device || QFileInfo(*path).canonicalFilePath() == canonical))
            ports << QString::number(n);
    }
    return ports.isEmpty() ? QStringLiteral("-") : ports.join(',');
}

}  // namespace

QString listSerialPorts(const PortMap& map) {
    QString out;
    QTextStream stream(&out);
    stream << "Port  Device\n";
    const QStringList devices = systemSerialDevices();
    for (const QString& device : devices)
        stream << qSetFieldWidth(6) << Qt::left << portsReaching(map, device) << qSetFieldWidth(0)
               << device << '\n';

    const QDir byId(QStringLiteral("/dev/serial/by-id"));
    for (const QFileInfo& link : byId.entryInfoList(QDir::System | QDir::Files))
        stream << "      " << link.absoluteFilePath() << " -> " << link.symLinkTarget() << '\n';

    // Entries given on the command line that the lines above do not show.
    for (const auto& [port, target] : map.entries()) {
        const QString* path = std::get_if<QString>(&target);
        if (path && devices.contains(*path))
            continue;
        stream << qSetFieldWidth(6) << Qt::left << QString::number(port) << qSetFieldWidth(0)
               << (path ? *path + QStringLiteral(" (given)") : QStringLiteral("(simulated)"))
               << '\n';
    }
    return out;
}

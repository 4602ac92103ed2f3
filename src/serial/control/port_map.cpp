#include "port_map.h"

#include <QRegularExpression>

#include "port_numbering.h"
#include "simulated_port.h"
#include "system_device.h"
#include "system_port_scan.h"

QString PortMap::addEntry(const QString& entry) {
    const qsizetype eq = entry.indexOf('=');
    if (eq <= 0)
        return QStringLiteral("\"%1\" is not of the form N=DEVICE, for example 1=/dev/ttyUSB0.")
            .arg(entry);
    bool ok = false;
    const int port = entry.left(eq).trimmed().toInt(&ok);
    if (!ok || !PortNumbers::isValid(port))
        return QStringLiteral(
                   "\"%1\": the port number must be from %2 to %3, the numbers the "
                   "window offers.")
            .arg(entry)
            .arg(PortNumbers::kFirst)
            .arg(PortNumbers::kLast);

    const QString device = entry.mid(eq + 1).trimmed();
    if (device == "sim" || device.startsWith("sim:")) {
        const QString variant = device == "sim" ? QString() : device.mid(4);
        auto sim = SimulatedPort::fromVariant(variant);
        if (!sim)
            return QStringLiteral("\"%1\": unknown simulated port \"%2\"; known: %3.")
                .arg(entry, device,
                     QStringList(SimulatedPort::variantNames())
                         .replaceInStrings(QRegularExpression("^"), "sim:")
                         .join(", "));
        entries_[port] = {std::move(sim), device};
        return {};
    }
    if (!device.startsWith('/'))
        return QStringLiteral(
                   "\"%1\": the device must be an absolute path such as /dev/ttyUSB0, "
                   "or sim.")
            .arg(entry);
    entries_[port] = {device, device};
    return {};
}

void PortMap::map(int port, Target target) {
    const QString* path = std::get_if<QString>(&target);
    const QString given = path ? *path : QStringLiteral("sim");
    entries_[port] = {std::move(target), given};
}

MappedDeviceOpener::MappedDeviceOpener(PortMap map, SystemPorts system, SystemFolders folders)
    : map_(std::move(map)), system_(system), folders_(std::move(folders)) {}

std::unique_ptr<SerialDevice> MappedDeviceOpener::open(short port, const OpenRequest& request,
                                                       DeviceEventSink& sink) {
    if (!PortNumbers::isValid(port))
        throw invalidPortNumber(port);
    // An entry needs no look at the system.
    const auto entry = map_.entries().find(port);
    const std::optional<PortMap::Target> target =
        entry != map_.entries().end() ? entry->second.target : numbering().reach(port).target;
    if (!target)
        throw invalidPortNumber(port);
    if (const auto* sim = std::get_if<std::shared_ptr<SimulatedPort>>(&*target))
        return (*sim)->open(request, sink);
    return openSystemDevice(std::get<QString>(*target), request, sink, folders_);
}

QStringList MappedDeviceOpener::describe(short first, short last) const {
    const PortNumbering now = numbering();
    QStringList texts;
    for (int port = first; port <= last; ++port)
        texts << (PortNumbers::isValid(port) ? now.reach(port).text() : PortReach{}.text());
    return texts;
}

PortNumbering MappedDeviceOpener::numbering() const {
    if (system_ == SystemPorts::None)
        return PortNumbering(map_, {});
    return PortNumbering(map_, SystemPortScan(folders_).devices());
}

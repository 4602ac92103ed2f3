#include "port_map.h"

#include <QRegularExpression>

#include "simulated_port.h"
#include "system_device.h"

QString PortMap::defaultDevice(int port) {
    return QStringLiteral("/dev/ttyS%1").arg(port - 1);
}

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
        map(port, std::move(sim));
        return {};
    }
    if (!device.startsWith('/'))
        return QStringLiteral(
                   "\"%1\": the device must be an absolute path such as /dev/ttyUSB0, "
                   "or sim.")
            .arg(entry);
    map(port, device);
    return {};
}

void PortMap::map(int port, Target target) {
    entries_[port] = std::move(target);
}

PortMap::Target PortMap::targetFor(int port) const {
    const auto it = entries_.find(port);
    if (it != entries_.end())
        return it->second;
    return defaultDevice(port);
}

std::unique_ptr<SerialDevice> MappedDeviceOpener::open(short port, const OpenRequest& request,
                                                       DeviceEventSink& sink) {
    if (!PortNumbers::isValid(port))
        throw invalidPortNumber(port);
    const PortMap::Target target = map_.targetFor(port);
    if (const auto* sim = std::get_if<std::shared_ptr<SimulatedPort>>(&target))
        return (*sim)->open(request, sink);
    return openSystemDevice(std::get<QString>(target), request, sink);
}

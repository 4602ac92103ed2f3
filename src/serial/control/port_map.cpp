#include "port_map.h"

#include "port_numbering.h"

void PortMap::map(int port, Target target, QString given, QString detail) {
    if (given.isEmpty())
        if (const QString* path = std::get_if<QString>(&target))
            given = *path;
    entries_[port] = {std::move(target), std::move(given), std::move(detail)};
}

MappedDeviceOpener::MappedDeviceOpener(PortMap map, std::shared_ptr<const SystemPorts> system)
    : map_(std::move(map)), system_(std::move(system)) {}

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
    if (const auto* source = std::get_if<std::shared_ptr<PortSource>>(&*target))
        return (*source)->open(request, sink);
    if (!system_)
        throw invalidPortNumber(port);
    return system_->open(std::get<QString>(*target), request, sink);
}

QStringList MappedDeviceOpener::describe(short first, short last) const {
    const PortNumbering now = numbering();
    QStringList texts;
    for (int port = first; port <= last; ++port)
        texts << (PortNumbers::isValid(port) ? now.reach(port).text() : PortReach{}.text());
    return texts;
}

PortNumbering MappedDeviceOpener::numbering() const {
    return PortNumbering(map_, system_ ? system_->devices() : std::vector<FoundSerialDevice>{});
}

#include "port_map.h"

#include <QFileInfo>

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
    if (entry != map_.entries().end()) {
        if (const auto* source = std::get_if<std::shared_ptr<PortSource>>(&entry->second.target))
            return (*source)->open(request, sink);
        if (!system_)
            throw invalidPortNumber(port);
        return system_->open(std::get<QString>(entry->second.target), request, sink);
    }
    // While its adapter is away, a kept number needs no full look at the system.
    if (away_.contains(port) && system_ && !system_->hasAdapter(kept_.at(port).identity))
        throw invalidPortNumber(port);
    // The open looks for holders itself, so the numbering leaves them out.
    const PortNumbering now(map_, systemDevices(SystemPorts::Holders::Skipped), kept_);
    noteAdapterAt(port, now);
    const std::optional<PortMap::Target> target = now.reach(port).target;
    if (!target || !system_)
        throw invalidPortNumber(port);
    keepNumber(port, now);  // chosen: kept even when this open fails
    return system_->open(std::get<QString>(*target), request, sink);
}

void MappedDeviceOpener::noteAdapterAt(int port, const PortNumbering& now) {
    if (!kept_.contains(port))
        return;
    if (!now.deviceAt(port)) {
        noteAway(port);
    } else if (away_.remove(port)) {
        returned_[port] = QTime::currentTime();
    }
}

void MappedDeviceOpener::noteAway(int port) const {
    away_.insert(port);
    returned_.erase(port);
}

void MappedDeviceOpener::keepNumber(int port, const PortNumbering& now) {
    const FoundSerialDevice* device = now.deviceAt(port);
    if (device && !device->identity.isEmpty())
        kept_[port] = {device->identity, device->description};
}

bool MappedDeviceOpener::reaches(short port) const {
    const auto entry = map_.entries().find(port);
    if (entry != map_.entries().end()) {
        if (const auto* source = std::get_if<std::shared_ptr<PortSource>>(&entry->second.target))
            return (*source)->present();
        return QFileInfo::exists(std::get<QString>(entry->second.target));
    }
    if (kept_.contains(port)) {
        const bool present = system_ && system_->hasAdapter(kept_.at(port).identity);
        if (!present)
            noteAway(port);
        return present;
    }
    return PortNumbering(map_, systemDevices(SystemPorts::Holders::Skipped), kept_)
        .reach(port)
        .target.has_value();
}

QStringList MappedDeviceOpener::describe(short first, short last) const {
    const std::vector<FoundSerialDevice> found = systemDevices(SystemPorts::Holders::Named);
    const PortNumbering now(map_, found, kept_);
    QStringList texts;
    for (int port = first; port <= last; ++port) {
        const QString why = PortNumbers::isValid(port) ? whyNoPort(port, found) : QString();
        texts << (!why.isEmpty()               ? why
                  : PortNumbers::isValid(port) ? now.reach(port).text()
                                               : PortReach{}.text());
        const auto returned = returned_.find(port);
        if (returned != returned_.end() && now.deviceAt(port))
            texts.last() += QStringLiteral("; back since ") +
                            returned->second.toString(QStringLiteral("HH:mm:ss"));
    }
    return texts;
}

QString MappedDeviceOpener::whyNoPort(int port, const std::vector<FoundSerialDevice>& found) const {
    const auto entry = map_.entries().find(port);
    const QString* path =
        entry != map_.entries().end() ? std::get_if<QString>(&entry->second.target) : nullptr;
    if (!path || !system_)
        return {};
    // A path the system lists as a serial device is one; any other may be no port at all.
    const QString device = QFileInfo(*path).canonicalFilePath();
    for (const FoundSerialDevice& candidate : found)
        if (!device.isEmpty() && QFileInfo(candidate.path).canonicalFilePath() == device)
            return {};
    return system_->whyNotAPort(*path);
}

PortNumbering MappedDeviceOpener::numbering() const {
    return PortNumbering(map_, systemDevices(SystemPorts::Holders::Named), kept_);
}

std::vector<FoundSerialDevice> MappedDeviceOpener::systemDevices(
    SystemPorts::Holders holders) const {
    return system_ ? system_->devices(holders) : std::vector<FoundSerialDevice>{};
}

#include "port_numbering.h"

#include <QFileInfo>
#include <QSet>
#include <algorithm>

namespace {

// Compares names with each run of digits taken as a number: ttyUSB2 before ttyUSB10.
bool naturalLess(QStringView a, QStringView b) {
    qsizetype i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (a[i].isDigit() && b[j].isDigit()) {
            const qsizetype startA = i, startB = j;
            while (i < a.size() && a[i].isDigit())
                ++i;
            while (j < b.size() && b[j].isDigit())
                ++j;
            const qulonglong x = a.sliced(startA, i - startA).toULongLong();
            const qulonglong y = b.sliced(startB, j - startB).toULongLong();
            if (x != y)
                return x < y;
        } else {
            if (a[i] != b[j])
                return a[i] < b[j];
            ++i;
            ++j;
        }
    }
    return a.size() - i < b.size() - j;
}

bool comesFirst(const FoundSerialDevice& a, const FoundSerialDevice& b) {
    if (a.byPath.isEmpty() != b.byPath.isEmpty())
        return !a.byPath.isEmpty();
    return a.byPath.isEmpty() ? naturalLess(a.name, b.name) : naturalLess(a.byPath, b.byPath);
}

QString canonical(const QString& path) {
    return QFileInfo(path).canonicalFilePath();
}

// What a device is, the names udev made for it, then who holds it.
QString detailOf(const FoundSerialDevice& device) {
    QStringList udevNames;
    if (!device.byId.isEmpty())
        udevNames << QStringLiteral("/dev/serial/by-id/") + device.byId;
    if (!device.byPath.isEmpty())
        udevNames << QStringLiteral("/dev/serial/by-path/") + device.byPath;
    QStringList parts{device.description, udevNames.join(QStringLiteral(", ")), device.heldBy};
    parts.removeAll(QString());
    return parts.join(QStringLiteral("; "));
}

// The device the scan found at the canonical path `device`, if any.
const FoundSerialDevice* foundAt(const QString& device,
                                 const std::vector<FoundSerialDevice>& found) {
    const auto at = std::find_if(found.begin(), found.end(), [&](const auto& candidate) {
        return !device.isEmpty() && canonical(candidate.path) == device;
    });
    return at == found.end() ? nullptr : &*at;
}

PortReach entryReach(const PortMap::Entry& entry, const FoundSerialDevice* device) {
    PortReach reach{entry.target, entry.given, entry.detail};
    const QString* path = std::get_if<QString>(&entry.target);
    if (!path)
        return reach;
    if (device)
        reach.detail = detailOf(*device);
    else if (canonical(*path).isEmpty())
        reach.detail = QStringLiteral("not present");
    return reach;
}

}  // namespace

QString PortReach::text() const {
    if (!target)
        return detail.isEmpty() ? QStringLiteral("no port") : QStringLiteral("no port: ") + detail;
    return detail.isEmpty() ? device : device + QStringLiteral(", ") + detail;
}

PortNumbering::PortNumbering(const PortMap& map, const std::vector<FoundSerialDevice>& found,
                             const Kept& kept) {
    QSet<QString> named;
    for (const auto& [port, entry] : map.entries()) {
        const QString* path = std::get_if<QString>(&entry.target);
        const FoundSerialDevice* device = path ? foundAt(canonical(*path), found) : nullptr;
        at(port) = entryReach(entry, device);
        if (path)
            named.insert(canonical(*path));
        if (device)
            given_[port] = *device;
    }
    std::vector<FoundSerialDevice> free;
    for (const FoundSerialDevice& device : found) {
        if (!named.isEmpty() && named.contains(canonical(device.path)))
            continue;
        (device.withheld.isEmpty() ? free : withheld_).push_back(device);
    }
    keep(kept, free);
    number(free);
    if (!withheld_.empty())
        explainEmptyNumbers(map, std::move(free), kept);
}

void PortNumbering::keep(const Kept& kept, std::vector<FoundSerialDevice>& free) {
    for (const auto& [port, adapter] : kept) {
        if (!PortNumbers::isValid(port) || reach(port).target)
            continue;  // an entry's number is the entry's
        const auto present = std::find_if(free.begin(), free.end(), [&](const auto& device) {
            return device.identity == adapter.identity;
        });
        if (present == free.end()) {
            keptAway_.insert(port);
            at(port).detail = QStringLiteral("kept for ") + adapter.description +
                              QStringLiteral(", which is away");
            continue;
        }
        give(port, *present);
        free.erase(present);
    }
}

const FoundSerialDevice* PortNumbering::deviceAt(int port) const {
    const auto given = given_.find(port);
    return given == given_.end() ? nullptr : &given->second;
}

// A withheld native UART keeps its number empty, so that the others keep theirs when the
// user names it.
void PortNumbering::number(const std::vector<FoundSerialDevice>& free) {
    QSet<int> kept;
    for (const FoundSerialDevice& device : withheld_)
        if (device.uartIndex >= 0)
            kept.insert(device.uartIndex + 1);
    const auto taken = [&](int port) {
        return kept.contains(port) || keptAway_.contains(port) || reach(port).target;
    };
    std::vector<FoundSerialDevice> rest;
    for (const FoundSerialDevice& device : free) {
        const int native = device.uartIndex + 1;
        if (device.uartIndex >= 0 && PortNumbers::isValid(native) && !taken(native))
            give(native, device);
        else
            rest.push_back(device);
    }
    std::stable_sort(rest.begin(), rest.end(), comesFirst);
    int port = PortNumbers::kFirst;
    for (const FoundSerialDevice& device : rest) {
        while (PortNumbers::isValid(port) && taken(port))
            ++port;
        if (PortNumbers::isValid(port))
            give(port, device);
        else
            unnumbered_.push_back(device);
    }
}

void PortNumbering::give(int port, const FoundSerialDevice& device) {
    at(port) = {device.path, device.path, detailOf(device)};
    given_[port] = device;
}

// Numbers the withheld devices too, as if free, and tells at each number left empty which
// of them would be there.
void PortNumbering::explainEmptyNumbers(const PortMap& map, std::vector<FoundSerialDevice> all,
                                        const Kept& kept) {
    for (FoundSerialDevice device : withheld_) {
        device.withheld.clear();
        all.push_back(device);
    }
    const PortNumbering unwithheld(map, all, kept);
    for (const FoundSerialDevice& device : withheld_)
        for (int port = PortNumbers::kFirst; port <= PortNumbers::kLast; ++port)
            if (!reach(port).target && unwithheld.reach(port).device == device.path)
                at(port).detail = device.path + QStringLiteral(" would be here; ") +
                                  withheldNote(device, QString::number(port));
}

QString PortNumbering::withheldNote(const FoundSerialDevice& device, const QString& number) {
    return QStringLiteral("%1: not numbered; `--port %2=%3` tests it anyway")
        .arg(device.withheld, number, device.path);
}

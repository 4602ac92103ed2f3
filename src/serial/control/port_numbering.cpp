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

PortReach entryReach(const PortMap::Entry& entry, const std::vector<FoundSerialDevice>& found) {
    PortReach reach{entry.target, entry.given, entry.detail};
    const QString* path = std::get_if<QString>(&entry.target);
    if (!path)
        return reach;
    const QString device = canonical(*path);
    if (device.isEmpty())
        reach.detail = QStringLiteral("not present");
    for (const FoundSerialDevice& candidate : found)
        if (!device.isEmpty() && canonical(candidate.path) == device)
            reach.detail = candidate.description;
    return reach;
}

}  // namespace

QString PortReach::text() const {
    if (!target)
        return QStringLiteral("no port");
    return detail.isEmpty() ? device : device + QStringLiteral(", ") + detail;
}

PortNumbering::PortNumbering(const PortMap& map, const std::vector<FoundSerialDevice>& found) {
    QSet<QString> named;
    for (const auto& [port, entry] : map.entries()) {
        at(port) = entryReach(entry, found);
        if (const QString* path = std::get_if<QString>(&entry.target))
            named.insert(canonical(*path));
    }
    std::vector<FoundSerialDevice> rest;
    for (const FoundSerialDevice& device : found) {
        if (!named.isEmpty() && named.contains(canonical(device.path)))
            continue;
        const int native = device.uartIndex + 1;
        if (device.uartIndex >= 0 && PortNumbers::isValid(native) && !reach(native).target)
            give(native, device);
        else
            rest.push_back(device);
    }
    std::stable_sort(rest.begin(), rest.end(), comesFirst);
    int port = PortNumbers::kFirst;
    for (const FoundSerialDevice& device : rest) {
        while (PortNumbers::isValid(port) && reach(port).target)
            ++port;
        if (PortNumbers::isValid(port))
            give(port, device);
        else
            unnumbered_.push_back(device);
    }
}

void PortNumbering::give(int port, const FoundSerialDevice& device) {
    at(port) = {device.path, device.path, device.description};
}

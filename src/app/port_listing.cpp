#include "port_listing.h"

#include <QTextStream>
#include <algorithm>
#include <vector>

#include "one_line_text.h"
#include "port_numbering.h"

namespace {

struct Row {
    QString port;
    QString device;
    QString detail;
};

}  // namespace

QString listSerialPorts(const MappedDeviceOpener& opener) {
    const PortNumbering numbering = opener.numbering();
    std::vector<Row> rows;
    for (int port = PortNumbers::kFirst; port <= PortNumbers::kLast; ++port) {
        const PortReach& reach = numbering.reach(port);
        if (reach.target)
            rows.push_back({QString::number(port), reach.device, reach.detail});
    }
    for (const FoundSerialDevice& device : numbering.unnumbered())
        rows.push_back({QStringLiteral("-"), device.path, device.description});
    for (const FoundSerialDevice& device : numbering.withheld())
        rows.push_back({QStringLiteral("-"), device.path,
                        PortNumbering::withheldNote(device, QStringLiteral("N"))});

    qsizetype deviceWidth = QStringLiteral("Device").size();
    for (const Row& row : rows)
        deviceWidth = std::max(deviceWidth, row.device.size());
    QString out;
    QTextStream stream(&out);
    const auto line = [&](const QString& port, const QString& device, const QString& detail) {
        const QString text = port.leftJustified(6) + device.leftJustified(deviceWidth + 2) + detail;
        stream << oneLineText(text.trimmed()) << '\n';
    };
    line(QStringLiteral("Port"), QStringLiteral("Device"), QStringLiteral("Description"));
    for (const Row& row : rows)
        line(row.port, row.device, row.detail);
    stream.flush();
    return out;
}

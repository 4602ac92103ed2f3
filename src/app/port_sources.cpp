#include "port_sources.h"

#include <QRegularExpression>
#include <cstdio>

#include "comm_error.h"
#include "one_line_text.h"
#include "simulated_port.h"
#include "system_device.h"

namespace {

// The system's ports, telling on standard error why a path could not be opened: the message
// boxes for a port that is no port or is in use keep their fixed texts, without the reason.
class ExplainedSystemPorts : public SystemPorts {
public:
    std::vector<FoundSerialDevice> devices(Holders holders) const override {
        return ports_.devices(holders);
    }
    bool hasAdapter(const QString& identity) const override { return ports_.hasAdapter(identity); }
    std::unique_ptr<SerialDevice> open(const QString& path, const OpenRequest& request,
                                       DeviceEventSink& sink) const override {
        try {
            return ports_.open(path, request, sink);
        } catch (const CommError& e) {
            if (e.number() == CommErrors::InvalidPortNumber ||
                e.number() == CommErrors::PortAlreadyOpen)
                std::fprintf(stderr, "quillmark: %s\n", qPrintable(oneLineText(e.description())));
            throw;
        }
    }
    QString whyNotAPort(const QString& path) const override { return ports_.whyNotAPort(path); }

private:
    SystemSerialPorts ports_;
};

QString simulatedEntry(PortMap& map, int port, const QString& entry, const QString& device) {
    const QString variant = device == "sim" ? QString() : device.mid(4);
    auto sim = SimulatedPort::fromVariant(variant);
    if (!sim)
        return QStringLiteral("\"%1\": unknown simulated port \"%2\"; known: %3.")
            .arg(entry, device,
                 QStringList(SimulatedPort::variantNames())
                     .replaceInStrings(QRegularExpression("^"), "sim:")
                     .join(", "));
    map.map(port, std::move(sim), device,
            variant.isEmpty() ? QStringLiteral("simulated loopback plug")
                              : QStringLiteral("simulated port"));
    return {};
}

}  // namespace

QString addPortEntry(PortMap& map, const QString& entry) {
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
    if (map.contains(port))
        return QStringLiteral("\"%1\": port %2 is given twice.").arg(entry).arg(port);

    const QString device = entry.mid(eq + 1).trimmed();
    if (device == "sim" || device.startsWith("sim:"))
        return simulatedEntry(map, port, entry, device);
    if (hasControlCharacter(device))
        return QStringLiteral("\"%1\": a device path cannot hold a control character.")
            .arg(oneLineText(entry));
    const QString name = systemDeviceName(device);
    if (name.isEmpty())
        return QStringLiteral("\"%1\": the device must be %2, or sim.")
            .arg(entry, systemDeviceNameRule());
    map.map(port, name);
    return {};
}

QStringList simulatedPortNames() {
    QStringList names{QStringLiteral("sim (a loopback plug)")};
    for (const QString& variant : SimulatedPort::variantNames())
        if (!variant.isEmpty())
            names << QStringLiteral("sim:") + variant;
    return names;
}

std::shared_ptr<MappedDeviceOpener> programPorts(const PortMap& map) {
    return std::make_shared<MappedDeviceOpener>(map, std::make_shared<ExplainedSystemPorts>());
}

#pragma once

#include <QSet>
#include <QString>
#include <QTime>
#include <map>
#include <memory>
#include <variant>

#include "device_opener.h"
#include "kept_number.h"
#include "port_numbers.h"
#include "port_source.h"

class PortNumbering;

// The port numbers given a device at start-up: a device path or a source of its own (a
// simulated port). They come before the numbers the system's own devices take.
class PortMap {
public:
    using Target = std::variant<QString, std::shared_ptr<PortSource>>;
    struct Entry {
        Target target;
        QString given;   // DEVICE as the user wrote it: a path, "sim", "sim:held"
        QString detail;  // what a source is, for the user; a path's is found on the system
    };

    // `given` defaults to the path.
    void map(int port, Target target, QString given = {}, QString detail = {});
    bool contains(int port) const { return entries_.contains(port); }

    // The entries given, in port order.
    const std::map<int, Entry>& entries() const { return entries_; }

private:
    std::map<int, Entry> entries_;
};

// Opens what a port number reaches: its entry, or the system device the numbering gives it
// now. Paths are opened by the system's ports; with none, only sources can be reached. An
// adapter once chosen keeps its number for as long as this opener lives, so that it is found
// there again after it was pulled out and plugged back in.
class MappedDeviceOpener : public DeviceOpener {
public:
    explicit MappedDeviceOpener(PortMap map, std::shared_ptr<const SystemPorts> system = nullptr);

    std::unique_ptr<SerialDevice> open(short port, const OpenRequest& request,
                                       DeviceEventSink& sink) override;
    QStringList describe(short first, short last) const override;
    bool reaches(short port) const override;

    // The numbers as they stand now.
    PortNumbering numbering() const;

private:
    std::vector<FoundSerialDevice> systemDevices(SystemPorts::Holders holders) const;
    // What the numbering gave `port`, the adapter there now or none, before an open.
    void noteAdapterAt(int port, const PortNumbering& now);
    void keepNumber(int port, const PortNumbering& now);
    // Any look that finds a kept number's adapter gone counts, the status poll's included:
    // the adapter's return is told once it is opened there again.
    void noteAway(int port) const;
    // Why the path an entry names is no port, for a path the system does not list; empty
    // for anything else.
    QString whyNoPort(int port, const std::vector<FoundSerialDevice>& found) const;

    PortMap map_;
    std::shared_ptr<const SystemPorts> system_;
    std::map<int, KeptNumber> kept_;
    mutable QSet<int> away_;                 // kept numbers whose adapter a look found gone
    mutable std::map<int, QTime> returned_;  // when the adapter of a kept number was opened again
};

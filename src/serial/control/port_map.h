#pragma once

#include <QString>
#include <map>
#include <memory>
#include <variant>

#include "device_opener.h"
#include "port_numbers.h"
#include "system_folders.h"

class PortNumbering;
class SimulatedPort;

// The port numbers given a device at start-up (--port N=DEVICE): a device path or a
// simulated port. They come before the numbers the system's own devices take.
class PortMap {
public:
    using Target = std::variant<QString, std::shared_ptr<SimulatedPort>>;
    struct Entry {
        Target target;
        QString given;  // DEVICE as written: a path, "sim", "sim:held"
    };

    // Reads "N=DEVICE" (DEVICE: a path, "sim" or "sim:VARIANT"). Returns an error text for the
    // user, or an empty text when the entry was taken.
    QString addEntry(const QString& entry);
    void map(int port, Target target);

    // The entries given, in port order.
    const std::map<int, Entry>& entries() const { return entries_; }

private:
    std::map<int, Entry> entries_;
};

// Which devices the numbers without an entry reach.
enum class SystemPorts {
    None,   // none: every usable number has an entry (tests, demonstrations)
    Found,  // the serial devices the system has, found afresh at every call
};

// Opens what a port number reaches: its entry, or the device the numbering gives it now.
class MappedDeviceOpener : public DeviceOpener {
public:
    explicit MappedDeviceOpener(PortMap map, SystemPorts system = SystemPorts::None,
                                SystemFolders folders = {});

    std::unique_ptr<SerialDevice> open(short port, const OpenRequest& request,
                                       DeviceEventSink& sink) override;
    QStringList describe(short first, short last) const override;

    // The numbers as they stand now.
    PortNumbering numbering() const;

private:
    PortMap map_;
    SystemPorts system_;
    SystemFolders folders_;
};

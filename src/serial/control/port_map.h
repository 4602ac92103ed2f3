#pragma once

#include <QString>
#include <map>
#include <memory>
#include <variant>

#include "device_opener.h"
#include "port_numbers.h"

class SimulatedPort;

// Which device a port number stands for. By default port n is the system's n-th serial
// port, /dev/ttyS<n-1>; entries given at start-up point a number at any device path or at
// a simulated port.
class PortMap {
public:
    using Target = std::variant<QString, std::shared_ptr<SimulatedPort>>;

    // Port n's conventional device name.
    static QString defaultDevice(int port);

    // Reads "N=DEVICE" (DEVICE: a path, "sim" or "sim:VARIANT"). Returns an error text for the
    // user, or an empty text when the entry was taken.
    QString addEntry(const QString& entry);
    void map(int port, Target target);

    Target targetFor(int port) const;
    // The entries given, in port order.
    const std::map<int, Target>& entries() const { return entries_; }

private:
    std::map<int, Target> entries_;
};

// Opens the device a PortMap names for a port number.
class MappedDeviceOpener : public DeviceOpener {
public:
    explicit MappedDeviceOpener(PortMap map) : map_(std::move(map)) {}

    std::unique_ptr<SerialDevice> open(short port, const OpenRequest& request,
                                       DeviceEventSink& sink) override;
    const PortMap& portMap() const { return map_; }

private:
    PortMap map_;
};

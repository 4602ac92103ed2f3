#pragma once

#include <QString>
#include <algorithm>
#include <memory>
#include <vector>

#include "found_serial_device.h"
#include "serial_device.h"

// What a port number can be pointed at besides a device path: something that opens a device
// of its own, such as a simulated port. Lives across opens.
class PortSource {
public:
    virtual ~PortSource() = default;
    // Throws CommError as DeviceOpener::open does.
    virtual std::unique_ptr<SerialDevice> open(const OpenRequest& request,
                                               DeviceEventSink& sink) = 0;
    // Whether there is a device to open now, found without opening it.
    virtual bool present() const { return true; }
};

// The system's own serial devices: those present now, and opening one by its path.
class SystemPorts {
public:
    // Whether the devices found name who holds them: what the user reads needs it, numbering
    // alone does not, and the look at every process's open files is the dearest part.
    enum class Holders { Named, Skipped };

    virtual ~SystemPorts() = default;
    // Found afresh at every call, opening none of them.
    virtual std::vector<FoundSerialDevice> devices(Holders holders) const = 0;
    // Whether the adapter of that FoundSerialDevice::identity is present now; cheaper than
    // devices() where it can be, since it is asked once a second while a lost adapter is away.
    virtual bool hasAdapter(const QString& identity) const {
        const std::vector<FoundSerialDevice> found = devices(Holders::Skipped);
        return std::any_of(found.begin(), found.end(),
                           [&](const auto& device) { return device.identity == identity; });
    }
    // Throws CommError as DeviceOpener::open does.
    virtual std::unique_ptr<SerialDevice> open(const QString& path, const OpenRequest& request,
                                               DeviceEventSink& sink) const = 0;
    // Why `path` is no serial port, as a sentence for the user, found without opening it;
    // empty when it is one.
    virtual QString whyNotAPort(const QString& path) const = 0;
};

#include "system_device.h"

#include "comm_error.h"
#include "serial_node.h"
#include "system_port_scan.h"
#include "system_serial_device.h"

std::unique_ptr<SerialDevice> openSystemDevice(const QString& path, const OpenRequest& request,
                                               DeviceEventSink& sink,
                                               const SystemFolders& folders) {
    return std::make_unique<SystemSerialDevice>(path, request, sink, SystemPortWorker::Options{},
                                                folders);
}

QString systemDeviceName(const QString& entry) {
    return entry.startsWith('/') ? entry : QString();
}

QString systemDeviceNameRule() {
    return QStringLiteral("an absolute path such as /dev/ttyUSB0 or /dev/serial/by-id/...");
}

std::vector<FoundSerialDevice> SystemSerialPorts::devices(Holders holders) const {
    if (scan_ == Scan::None)
        return {};
    return SystemPortScan(folders_).devices(holders);
}

bool SystemSerialPorts::hasAdapter(const QString& identity) const {
    return scan_ == Scan::Found && SystemPortScan(folders_).adapters().contains(identity);
}

std::unique_ptr<SerialDevice> SystemSerialPorts::open(const QString& path,
                                                      const OpenRequest& request,
                                                      DeviceEventSink& sink) const {
    return openSystemDevice(path, request, sink, folders_);
}

QString SystemSerialPorts::whyNotAPort(const QString& path) const {
    try {
        checkSerialNode(path, folders_.sys);
        return {};
    } catch (const CommError& e) {
        return e.description();
    }
}

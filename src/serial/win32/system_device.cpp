#include "system_device.h"

#include "system_port_scan.h"
#include "win32_serial_device.h"

std::unique_ptr<SerialDevice> openSystemDevice(const QString& name, const OpenRequest& request,
                                               DeviceEventSink& sink, const SystemFolders&) {
    return std::make_unique<Win32SerialDevice>(name, request, sink);
}

std::vector<FoundSerialDevice> SystemSerialPorts::devices(Holders) const {
    return scan_ == Scan::Found ? SystemPortScan().devices() : std::vector<FoundSerialDevice>{};
}

std::unique_ptr<SerialDevice> SystemSerialPorts::open(const QString& path,
                                                      const OpenRequest& request,
                                                      DeviceEventSink& sink) const {
    return openSystemDevice(path, request, sink);
}

// Windows tells what a COM name is only by opening it.
QString SystemSerialPorts::whyNotAPort(const QString&) const {
    return {};
}

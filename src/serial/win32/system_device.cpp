#include "system_device.h"

#include <QRegularExpression>

#include "system_port_scan.h"
#include "win32_serial_device.h"

std::unique_ptr<SerialDevice> openSystemDevice(const QString& name, const OpenRequest& request,
                                               DeviceEventSink& sink, const SystemFolders&) {
    return std::make_unique<Win32SerialDevice>(name, request, sink);
}

// "COM12", "com12" or "\\.\COM12", as the registry and the device namespace spell it.
QString systemDeviceName(const QString& entry) {
    static const QRegularExpression comName(
        QStringLiteral(R"(^(?:\\\\\.\\)?COM([1-9][0-9]{0,2})$)"),
        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = comName.match(entry);
    return match.hasMatch() ? QStringLiteral("COM") + match.captured(1) : QString();
}

QString systemDeviceNameRule() {
    return QStringLiteral("a COM port name such as COM5");
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

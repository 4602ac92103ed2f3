#pragma once

#include <QString>
#include <memory>

#include "port_source.h"
#include "serial_device.h"
#include "system_folders.h"

// Opens an operating-system serial device (a tty) for exclusive use. Throws CommError:
// InvalidPortNumber when the path names no usable serial port, PortAlreadyOpen when it is
// held, another number with a description for any other failure.
std::unique_ptr<SerialDevice> openSystemDevice(const QString& path, const OpenRequest& request,
                                               DeviceEventSink& sink,
                                               const SystemFolders& folders = {});

// The device a user's --port entry names on this system, as the port map keeps it, or an empty
// text when the entry is no name of this system's devices; and what such a name looks like.
QString systemDeviceName(const QString& entry);
QString systemDeviceNameRule();

// The system's ttys for the port numbers: found by the sysfs scan, opened as above.
class SystemSerialPorts : public SystemPorts {
public:
    enum class Scan {
        Found,  // the serial devices the system has
        None,   // none: only the paths the user names (tests, demonstrations)
    };
    explicit SystemSerialPorts(SystemFolders folders = {}, Scan scan = Scan::Found)
        : folders_(std::move(folders)), scan_(scan) {}

    std::vector<FoundSerialDevice> devices(Holders holders) const override;
    bool hasAdapter(const QString& identity) const override;
    std::unique_ptr<SerialDevice> open(const QString& path, const OpenRequest& request,
                                       DeviceEventSink& sink) const override;
    QString whyNotAPort(const QString& path) const override;

private:
    SystemFolders folders_;
    Scan scan_;
};

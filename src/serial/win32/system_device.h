#pragma once

#include <QString>
#include <memory>

#include "port_source.h"
#include "serial_device.h"
#include "system_folders.h"

// Opens a COM port ("COM5") for this program alone. Throws CommError: InvalidPortNumber when
// no such port answers, PortAlreadyOpen when it is held, another number with a description
// for any other failure.
std::unique_ptr<SerialDevice> openSystemDevice(const QString& name, const OpenRequest& request,
                                               DeviceEventSink& sink,
                                               const SystemFolders& folders = {});

// The device a user's --port entry names on this system, as the port map keeps it, or an empty
// text when the entry is no name of this system's devices; and what such a name looks like.
QString systemDeviceName(const QString& entry);
QString systemDeviceNameRule();

// The COM ports the registry lists, numbered as COMn is n, and opening one by its name.
class SystemSerialPorts : public SystemPorts {
public:
    enum class Scan {
        Found,  // the COM ports the system has
        None,   // none: only the ports the user names (tests)
    };
    explicit SystemSerialPorts(SystemFolders = {}, Scan scan = Scan::Found) : scan_(scan) {}

    std::vector<FoundSerialDevice> devices(Holders holders) const override;
    std::unique_ptr<SerialDevice> open(const QString& path, const OpenRequest& request,
                                       DeviceEventSink& sink) const override;
    QString whyNotAPort(const QString& path) const override;

private:
    Scan scan_;
};

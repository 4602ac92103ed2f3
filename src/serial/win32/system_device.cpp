#include "system_device.h"

#include "win32_serial_device.h"

std::unique_ptr<SerialDevice> openSystemDevice(const QString& name, const OpenRequest& request,
                                               DeviceEventSink& sink, const SystemFolders&) {
    return std::make_unique<Win32SerialDevice>(name, request, sink);
}

#include "system_device.h"

#include "system_serial_device.h"

std::unique_ptr<SerialDevice> openSystemDevice(const QString& path, const OpenRequest& request,
                                               DeviceEventSink& sink,
                                               const SystemFolders& folders) {
    return std::make_unique<SystemSerialDevice>(path, request, sink, SystemPortWorker::Options{},
                                                folders);
}

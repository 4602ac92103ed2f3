#pragma once

#include <QString>
#include <memory>

#include "serial_device.h"
#include "system_folders.h"

// Opens an operating-system serial device (a tty) for exclusive use. Throws CommError:
// InvalidPortNumber when the path names no usable serial port, PortAlreadyOpen when it is
// held, another number with a description for any other failure.
std::unique_ptr<SerialDevice> openSystemDevice(const QString& path, const OpenRequest& request,
                                               DeviceEventSink& sink,
                                               const SystemFolders& folders = {});

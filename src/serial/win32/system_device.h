#pragma once

#include <QString>
#include <memory>

#include "serial_device.h"
#include "system_folders.h"

// Opens a COM port ("COM5") for this program alone. Throws CommError: InvalidPortNumber when
// no such port answers, PortAlreadyOpen when it is held, another number with a description
// for any other failure.
std::unique_ptr<SerialDevice> openSystemDevice(const QString& name, const OpenRequest& request,
                                               DeviceEventSink& sink,
                                               const SystemFolders& folders = {});

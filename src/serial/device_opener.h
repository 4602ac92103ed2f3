#pragma once

#include <memory>

#include "serial_device.h"

// Turns a port number into an open device. Throws CommError: InvalidPortNumber when the
// number names no usable port, PortAlreadyOpen when the port is held, another number for
// any other failure.
class DeviceOpener {
public:
    virtual ~DeviceOpener() = default;
    virtual std::unique_ptr<SerialDevice> open(short port, const OpenRequest& request,
                                               DeviceEventSink& sink) = 0;
};

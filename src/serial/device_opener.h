#pragma once

#include <QStringList>
#include <memory>

#include "serial_device.h"

// Turns a port number into an open device, and tells what each number reaches.
class DeviceOpener {
public:
    virtual ~DeviceOpener() = default;
    // Throws CommError: InvalidPortNumber when the number names no usable port,
    // PortAlreadyOpen when the port is held, another number for any other failure.
    virtual std::unique_ptr<SerialDevice> open(short port, const OpenRequest& request,
                                               DeviceEventSink& sink) = 0;
    // What each number from `first` to `last` reaches now, one text a number, for the user:
    // "/dev/ttyUSB0, FTDI FT232R USB UART, serial A10K3ABC", or "no port". Opens nothing.
    virtual QStringList describe(short first, short last) const = 0;
    // Whether the number reaches a device now, found without opening anything.
    virtual bool reaches(short) const { return true; }
};

#pragma once

#include <QString>

#include "port_map.h"

// The port numbers in order with the device each reaches and what it is, one line a device,
// then the devices left without a number. Read from sysfs and /dev/serial; opens nothing.
QString listSerialPorts(const MappedDeviceOpener& opener);

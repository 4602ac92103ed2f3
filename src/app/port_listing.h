#pragma once

#include <QString>

#include "port_map.h"

// The port numbers in order with the device each reaches and what it is, one line a device,
// then the devices left without a number, then those withheld from numbering (the system
// console, a getty's terminal) and how to reach them anyway. Read from sysfs, /dev/serial, the
// lock folder and /proc; opens nothing.
QString listSerialPorts(const MappedDeviceOpener& opener);

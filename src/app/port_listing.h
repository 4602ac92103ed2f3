#pragma once

#include <QString>

#include "port_map.h"

// The serial devices the system knows of and the port numbers that reach them, read from
// sysfs and /dev/serial without opening any device.
QString listSerialPorts(const PortMap& map);

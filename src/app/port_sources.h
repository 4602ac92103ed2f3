#pragma once

#include <QString>
#include <QStringList>
#include <memory>

#include "port_map.h"

// Reads a --port entry "N=DEVICE" (DEVICE: a path, "sim" or "sim:VARIANT") into the map.
// Returns an error text for the user, or an empty text when the entry was taken.
QString addPortEntry(PortMap& map, const QString& entry);

// The simulated ports an entry can name, for the help: "sim (a loopback plug)", "sim:noplug".
QStringList simulatedPortNames();

// What the program's port numbers reach: the entries, then the system's own serial devices.
std::shared_ptr<MappedDeviceOpener> programPorts(const PortMap& map);

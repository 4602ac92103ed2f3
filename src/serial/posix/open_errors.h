#pragma once

#include <QString>

#include "comm_error.h"

// The errors that opening a tty raises, each naming the device for the user.

// InvalidPortNumber: the path names no usable serial port, for the reason given.
CommError noSuchPort(const QString& path, const QString& why);
// PortAlreadyOpen: another program, or another port number of this one, holds the device.
CommError inUse(const QString& path);
// The error for an errno from open() or from another call that opening makes:
// InvalidPortNumber when nothing usable is there, PortAlreadyOpen when the device is busy,
// PermissionDenied when the user may not open it, OpenFailed for anything else.
CommError openError(const QString& path, int err);

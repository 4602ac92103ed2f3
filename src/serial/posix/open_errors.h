#pragma once

#include <QString>

#include "comm_error.h"

// The errors that opening a tty raises, each naming the device for the user.

// 8002: the path names no usable serial port, for the reason given.
CommError noSuchPort(const QString& path, const QString& why);
// 8005: another program, or another port number of this one, holds the device.
CommError inUse(const QString& path);
// The error for an errno from open() or from another call that opening makes: 8002 when
// nothing usable is there, 8005 when the device is busy, 8030 when the user may not open
// it, 8040 for anything else.
CommError openError(const QString& path, int err);

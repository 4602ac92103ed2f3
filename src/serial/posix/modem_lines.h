#pragma once

#include "system_line_events.h"

// The modem-control ioctls on an open tty. Each returns 0 or the errno of the failed ioctl.

// Switches the output lines in `bits` (TIOCM_DTR, TIOCM_RTS) on or off.
int switchModemLines(int fd, int bits, bool on);
// The present levels of the input lines.
int readModemLevels(int fd, LineSnapshot::Levels& levels);
// The kernel's interrupt counters of line edges and line errors.
int readModemCounters(int fd, LineSnapshot::Counters& counters);

// The device has no such lines or counters (pseudo-terminals): not a failure.
bool isUnsupportedIoctl(int err);

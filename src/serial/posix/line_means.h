#pragma once

#include "line_fidelity.h"

// What a tty's driver offers for watching one input line, as probed at open and corrected
// while open.
struct LineMeans {
    bool wired = true;    // false where this kind of device has no such line
    bool levels = false;  // TIOCMGET shows its level
    bool waits = false;   // TIOCMIWAIT wakes on its changes
    bool counts = false;  // TIOCGICOUNT counts its edges
};

// How faithfully those means see the line. `reportIntervalMs` is how often the device
// reports its lines where that is known (0 where changes come as they happen); `pollMs` the
// pace at which the levels are looked at without a wait.
LineFidelity gradeLine(const LineMeans& means, int reportIntervalMs, int pollMs);

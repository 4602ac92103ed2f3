#pragma once

#include <QString>

#include "line_fidelity.h"

// What probing a tty cannot tell about its driver, taken from sysfs by the driver's name.
struct DriverTraits {
    QString driver;  // "ftdi_sio", "cdc_acm", "serial8250"; empty where sysfs names none
    // An ACM device has no CTS wire: its driver reads CTS on whatever is connected.
    bool ctsWired = true;
    // The adapter reports its lines once per USB packet, which it sends at least every
    // latency timer; it may be asked to send them every millisecond.
    bool reportsPerPacket = false;
};

// From the tty's entry in sysfs (/sys/dev/char/M:m); a pseudo-terminal has none.
DriverTraits driverTraitsOf(const QString& ttyEntry);

// The adapter's latency timer in ms as sysfs shows it, or 16, the adapters' default.
int latencyTimerMs(const QString& ttyEntry);

// What a port of that driver gives once open, as known without opening it; unknown for a
// driver not known here.
PortFidelity expectedFidelity(const QString& driver);

// For a port's description: "driver ftdi_sio; DSR, CTS, CD, RI: every change the driver
// reports (every 1 ms), ..."; just the driver where what it gives is not known here, and
// empty where sysfs names no driver.
QString driverWords(const QString& ttyEntry);

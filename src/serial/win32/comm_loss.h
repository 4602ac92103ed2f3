#pragma once

#include <QString>
#include <atomic>
#include <cstdint>

#include "serial_device.h"

// The one judge of whether an open COM port has gone (a USB adapter pulled out), shared by the
// device and its event thread: the first sign reaches the sink, later ones are dropped.
class CommLoss {
public:
    CommLoss(QString port, DeviceEventSink& sink);

    // A system error code from a call on the port that means the device went away.
    static bool meansGone(std::uint32_t error);

    // Reports the loss when `error` means one; returns whether the device is gone.
    bool reportIfGone(std::uint32_t error);
    void report();
    bool lost() const { return lost_.load(); }

private:
    const QString port_;
    DeviceEventSink& sink_;
    std::atomic<bool> lost_{false};
};

#pragma once

#include <QString>
#include <atomic>
#include <functional>

#include "serial_device.h"

// The one judge of whether an open tty has gone away (unplugged, hung up), shared by the
// device and its worker: it reads the signs, tells the sink once and answers lost() for
// both of them. Reports may come from any thread.
class DeviceLoss {
public:
    // `hint`, where given, follows the loss's description.
    DeviceLoss(QString path, DeviceEventSink& sink, QString hint = {});

    // An errno from a call on the device that means it went away.
    static bool meansGone(int err);

    // Reports the loss when `err` means one; returns whether the device is gone.
    bool reportIfGone(int err);
    // Reports the loss when poll() found the descriptor hung up or broken.
    void reportIfHungUp(short pollEvents);
    // For a tty that keeps waking its reader for input that is not there: reports the loss
    // when the tty `fd` no longer answers a request, as a hung-up one does not. One that
    // answers is alive, shared with another program that reads the input first. Returns
    // whether the device is gone.
    bool reportUnlessAnswering(int fd);
    // Reports the loss; only the first report reaches the sink.
    void report();
    bool lost() const { return lost_.load(); }

    // Runs on the reporting thread after the first report, to wake a worker that waits.
    // Set and cleared only while no other thread can report.
    void setOnReported(std::function<void()> then) { onReported_ = std::move(then); }

private:
    const QString path_;
    const QString hint_;
    DeviceEventSink& sink_;
    std::function<void()> onReported_;
    std::atomic<bool> lost_{false};
};

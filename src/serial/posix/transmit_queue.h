#pragma once

#include <QByteArray>
#include <functional>
#include <mutex>

#include "device_loss.h"
#include "serial_device.h"
#include "system_tty.h"

// The transmit buffer between the user-interface thread, which writes, and the worker
// thread, which sends what the line takes as room appears. Bytes that find the buffer full
// are dropped with one transmit-full event per write.
class TransmitQueue {
public:
    // `wakeWorker` runs when the buffer starts to fill, so that the worker waits for room.
    TransmitQueue(SystemTty& tty, DeviceEventSink& sink, DeviceLoss& loss,
                  std::function<void()> wakeWorker);

    // User-interface thread. Sends what the line takes now and buffers the rest; throws
    // CommError WriteFailed when writing fails other than by the device going away.
    void send(const QByteArray& bytes);
    // Worker thread: bytes wait for room on the line.
    bool pending();
    // Worker thread, once the line has room: sends what it takes of the buffer.
    void flush();

private:
    SystemTty& tty_;
    DeviceEventSink& sink_;
    DeviceLoss& loss_;
    const std::function<void()> wakeWorker_;

    std::mutex mutex_;
    QByteArray buffer_;  // guarded by mutex_
};

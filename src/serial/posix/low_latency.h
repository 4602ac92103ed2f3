#pragma once

#include <linux/serial.h>

// Asks the driver to report the lines as soon as it can (ASYNC_LOW_LATENCY, which an
// ordinary user may set): a USB adapter then sends its status every millisecond instead of
// every latency timer. The flags the tty had are given back on destruction.
class LowLatencyRequest {
public:
    explicit LowLatencyRequest(int fd);
    ~LowLatencyRequest();
    LowLatencyRequest(const LowLatencyRequest&) = delete;
    LowLatencyRequest& operator=(const LowLatencyRequest&) = delete;

    // The driver took the request.
    bool granted() const { return granted_; }

private:
    const int fd_;
    serial_struct found_{};
    bool changed_ = false;
    bool granted_ = false;
};

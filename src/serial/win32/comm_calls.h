#pragma once

#include <QByteArray>
#include <cstdint>

// The few calls on an open COM port that the event logic makes, so that it can run against a
// fake. Each returns 0 on success or the system error code.
class CommCalls {
public:
    virtual ~CommCalls() = default;

    // ClearCommError: the CE_* flags raised since the last call, which it clears, and the
    // number of bytes waiting in the driver's receive queue.
    virtual std::uint32_t clearErrors(std::uint32_t& flags, std::uint32_t& waiting) = 0;
    // GetCommModemStatus: the MS_*_ON bits.
    virtual std::uint32_t modemStatus(std::uint32_t& bits) = 0;
    // ReadFile of at most `max` bytes, asked only for bytes that are waiting: some drivers
    // (Wine's) let an overlapped read wait for data whatever the timeouts say.
    virtual std::uint32_t read(QByteArray& bytes, int max) = 0;
};

#pragma once

#include <QByteArray>
#include <cstdint>

// The few calls on an open COM port that the event logic makes, so that it can run against a
// fake. Each returns 0 on success or the system error code.
class CommCalls {
public:
    virtual ~CommCalls() = default;

    // ClearCommError: the CE_* flags raised since the last call, which it clears.
    virtual std::uint32_t clearErrors(std::uint32_t& flags) = 0;
    // GetCommModemStatus: the MS_*_ON bits.
    virtual std::uint32_t modemStatus(std::uint32_t& bits) = 0;
    // ReadFile of at most `max` bytes that returns at once with what is there.
    virtual std::uint32_t read(QByteArray& bytes, int max) = 0;
};

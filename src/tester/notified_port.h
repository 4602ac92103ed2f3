#pragma once

#include <optional>

#include "forwarding_serial_port.h"

// The port as a port notification that was held sees it: its event code stays the one the
// port had raised when the notification came, though later events have come since. Every
// other member, and the reading of the code itself, goes to the port.
class NotifiedPort : public ForwardingSerialPort {
public:
    explicit NotifiedPort(SerialPort& port) : ForwardingSerialPort(port) {}

    // Nullopt: the port's own code, as a notification that ran at once reads it.
    void setEventCode(std::optional<short> code) { code_ = code; }
    std::optional<short> eventCode() const { return code_; }

    short CommEvent() const override {
        const short now = port().CommEvent();
        return code_.value_or(now);
    }

private:
    std::optional<short> code_;
};

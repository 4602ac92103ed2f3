#pragma once

#include "fake_view.h"
#include "forwarding_serial_port.h"

// Forwards every call to a real port, except that reading CommEvent can be made to fail.
class EventCodeFailingPort : public ForwardingSerialPort, public FailurePoint {
public:
    explicit EventCodeFailingPort(SerialPort& port) : ForwardingSerialPort(port) {}

    short CommEvent() const override {
        check();
        return port().CommEvent();
    }
};

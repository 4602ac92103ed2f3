#pragma once

#include <QStringList>
#include <memory>

#include "serial_device.h"
#include "sim_clock.h"

// A simulated port with its rig: by default a standard RS-232 loopback plug (TX to RX,
// RTS to CTS, DTR to DSR and CD). Lives across opens, so tests and demos can set it up
// before the control opens it and look at it afterwards.
class SimulatedPort {
public:
    // "" (the loopback plug) and the other variants variantNames() lists; null if unknown.
    static std::shared_ptr<SimulatedPort> fromVariant(const QString& variant);
    static QStringList variantNames();

    explicit SimulatedPort(std::shared_ptr<SimClock> clock = std::make_shared<SteadyClock>());
    ~SimulatedPort();

    std::unique_ptr<SerialDevice> open(const OpenRequest& request, DeviceEventSink& sink);

private:
    struct State;
    std::shared_ptr<State> state_;
};

#pragma once

#include <map>
#include <memory>

#include "fake_platform.h"
#include "fake_view.h"
#include "port_map.h"
#include "serial_port_control.h"
#include "simulated_port.h"
#include "tester.h"

// The tester logic wired to fake window elements and to a real serial control whose ports
// 1 to 16 are simulated ports with loopback plugs, all on one manual clock. The tester
// waits on the fake platform unless it is given another.
class TesterRig {
public:
    explicit TesterRig(Platform* waitsOn = nullptr);

    SimulatedPort& port(int number) { return *ports_.at(number); }
    // Lets the control deliver the port events waiting for the event loop.
    void deliverEvents();
    // Selects a port as the user would: sets the port box text and runs the selection.
    void select(const QString& text);

    std::shared_ptr<ManualClock> clock = std::make_shared<ManualClock>();

private:
    std::map<int, std::shared_ptr<SimulatedPort>> ports_;  // before comPort, which maps them

public:
    FakeView view;
    FakePlatform platform{clock};
    SerialPortControl comPort;

private:
    Platform& waitsOn_;

public:
    Tester tester{view, comPort, waitsOn_};

private:
    static std::shared_ptr<DeviceOpener> makeOpener(
        const std::shared_ptr<ManualClock>& clock,
        std::map<int, std::shared_ptr<SimulatedPort>>& ports);
};

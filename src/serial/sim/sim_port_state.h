#pragma once

#include <chrono>
#include <map>
#include <memory>
#include <mutex>

#include "line_edge_events.h"
#include "serial_device.h"
#include "sim_clock.h"
#include "sim_rig_options.h"
#include "sim_wire.h"

// Everything the rig and the open device share. Members below the mutex are guarded by it;
// the member functions expect it held, apart from those that say they take it.
struct SimPortState {
    explicit SimPortState(std::shared_ptr<SimClock> c) : clock(std::move(c)) {}

    const std::shared_ptr<SimClock> clock;
    mutable std::mutex mutex;

    // Set-up.
    SimWiring wiring = SimWiring::LoopbackPlug;
    qint64 echoDelayNs = 0;
    bool partialEcho = false;
    bool held = false;
    bool absent = false;
    std::chrono::milliseconds noise{0};
    std::map<SimOperation, SimFailure> failures;

    quint64 openId = 0;  // the device that has the port; 0 while free
    quint64 lastId = 0;
    DeviceEventSink* sink = nullptr;
    int opens = 0;

    LineSettings settings;
    bool dtr = false;
    bool rts = false;
    ModemInputs inputs;

    SimWire wire;

    void raise(short code);

    // A far-end line; a change is an edge and raises its event, if any.
    void setInput(ModemLine line, bool on);

    // The port's outputs, and what the wiring does with them.
    void driveRts(bool on);
    void driveDtr(bool on);
    void plugInputs();

    // Throw CommError: the device has lost the port, or the operation was made to fail.
    void checkDevice(quint64 id) const;
    void checkFailure(SimOperation operation);

    void pumpArrived();
    void send(const QByteArray& bytes);
    void receiveFromFarEnd(const QByteArray& bytes);

    // The next of the noise maker's events; takes the mutex.
    void makeNoise(quint64 id, int step);
    // The device is done with the port; takes the mutex.
    void release(quint64 id);
    // The port disappears under its device, if one is open.
    void unplug();
};

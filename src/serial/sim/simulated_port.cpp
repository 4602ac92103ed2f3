#include "simulated_port.h"

#include "sim_device.h"
#include "sim_port_state.h"

std::shared_ptr<SimulatedPort> SimulatedPort::fromVariant(const QString& variant) {
    const QString name = variant.trimmed().toLower();
    auto port = std::make_shared<SimulatedPort>();
    if (name.isEmpty())
        return port;
    if (name == "noplug")
        port->setWiring(Wiring::NoPlug);
    else if (name == "late")
        port->setEchoDelay(kLateEchoDelay);
    else if (name == "partial")
        port->setPartialEcho(true);
    else if (name == "held")
        port->setHeld(true);
    else if (name == "absent")
        port->setAbsent(true);
    else if (name == "noisy")
        port->setNoise(kNoiseInterval);
    else
        return nullptr;
    return port;
}

QStringList SimulatedPort::variantNames() {
    return {"noplug", "late", "partial", "held", "absent", "noisy"};
}

SimulatedPort::SimulatedPort(std::shared_ptr<SimClock> clock)
    : state_(std::make_shared<SimPortState>(std::move(clock))) {}

SimulatedPort::~SimulatedPort() = default;

std::unique_ptr<SerialDevice> SimulatedPort::open(const OpenRequest& request,
                                                  DeviceEventSink& sink) {
    quint64 id = 0;
    std::chrono::milliseconds noise{0};
    {
        std::lock_guard lock(state_->mutex);
        SimPortState& s = *state_;
        s.checkFailure(Operation::Open);
        if (s.absent)
            throw CommError(CommErrors::InvalidPortNumber,
                            QStringLiteral("The simulated port is not present."));
        if (s.held)
            throw CommError(CommErrors::PortAlreadyOpen,
                            QStringLiteral("The simulated port is held by another program."));
        if (s.openId != 0)
            throw CommError(CommErrors::PortAlreadyOpen,
                            QStringLiteral("The simulated port is already open."));
        id = ++s.lastId;
        s.openId = id;
        s.sink = &sink;
        ++s.opens;
        s.settings = request.settings;
        s.dtr = request.dtr;
        s.rts = request.rts;
        s.plugInputs();
        s.wire.restart(s.clock->nowNs());
        noise = s.noise;
    }
    try {
        return std::make_unique<SimDevice>(state_, id, noise);
    } catch (...) {
        state_->release(id);
        throw;
    }
}

void SimulatedPort::setWiring(Wiring wiring) {
    std::lock_guard lock(state_->mutex);
    state_->wiring = wiring;
    if (wiring == Wiring::NoPlug)
        state_->inputs = {};
}

void SimulatedPort::setEchoDelay(std::chrono::nanoseconds extra) {
    std::lock_guard lock(state_->mutex);
    state_->echoDelayNs = extra.count();
}

void SimulatedPort::setPartialEcho(bool firstHalfOnly) {
    std::lock_guard lock(state_->mutex);
    state_->partialEcho = firstHalfOnly;
}

void SimulatedPort::setHeld(bool held) {
    std::lock_guard lock(state_->mutex);
    state_->held = held;
}

void SimulatedPort::setAbsent(bool absent) {
    std::lock_guard lock(state_->mutex);
    state_->absent = absent;
}

void SimulatedPort::setNoise(std::chrono::milliseconds interval) {
    std::lock_guard lock(state_->mutex);
    state_->noise = interval;
}

void SimulatedPort::failOperation(Operation operation, int number, const QString& description,
                                  Repeat repeat) {
    std::lock_guard lock(state_->mutex);
    state_->failures[operation] = {number, description, repeat == Repeat::Persistent};
}

void SimulatedPort::clearFailures() {
    std::lock_guard lock(state_->mutex);
    state_->failures.clear();
}

bool SimulatedPort::injectEvent(short code) {
    std::lock_guard lock(state_->mutex);
    if (!state_->sink)
        return false;
    state_->raise(code);
    return true;
}

void SimulatedPort::driveInput(InputLine line, bool active) {
    std::lock_guard lock(state_->mutex);
    state_->setInput(line, active);
}

void SimulatedPort::pulseRing() {
    std::lock_guard lock(state_->mutex);
    state_->setInput(ModemLine::Ring, true);
    state_->setInput(ModemLine::Ring, false);
}

void SimulatedPort::receive(const QByteArray& bytes) {
    std::lock_guard lock(state_->mutex);
    if (state_->openId == 0)
        return;
    state_->receiveFromFarEnd(bytes);
}

void SimulatedPort::vanish() {
    std::lock_guard lock(state_->mutex);
    state_->absent = true;
    state_->unplug();
}

void SimulatedPort::restore() {
    setAbsent(false);
}

bool SimulatedPort::present() const {
    std::lock_guard lock(state_->mutex);
    return !state_->absent;
}

bool SimulatedPort::isOpen() const {
    std::lock_guard lock(state_->mutex);
    return state_->openId != 0;
}

int SimulatedPort::openCount() const {
    std::lock_guard lock(state_->mutex);
    return state_->opens;
}

QByteArray SimulatedPort::transmitted() const {
    std::lock_guard lock(state_->mutex);
    return state_->wire.transmitted();
}

void SimulatedPort::clearTransmitted() {
    std::lock_guard lock(state_->mutex);
    state_->wire.clearTransmitted();
}

LineSettings SimulatedPort::lineSettings() const {
    std::lock_guard lock(state_->mutex);
    return state_->settings;
}

bool SimulatedPort::dtr() const {
    std::lock_guard lock(state_->mutex);
    return state_->dtr;
}

bool SimulatedPort::rts() const {
    std::lock_guard lock(state_->mutex);
    return state_->rts;
}

ModemInputs SimulatedPort::inputLines() const {
    std::lock_guard lock(state_->mutex);
    return state_->inputs;
}

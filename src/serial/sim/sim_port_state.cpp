#include "sim_port_state.h"

#include "comm_event.h"

namespace {

const QString kUnpluggedText = QStringLiteral("The simulated port was unplugged.");

bool& levelOf(ModemInputs& inputs, ModemLine line) {
    switch (line) {
        case ModemLine::Cts:
            return inputs.cts;
        case ModemLine::Dsr:
            return inputs.dsr;
        case ModemLine::Cd:
            return inputs.cd;
        case ModemLine::Ring:
            return inputs.ring;
    }
    return inputs.ring;
}

}  // namespace

void SimPortState::raise(short code) {
    if (sink)
        sink->portEvent(code);
}

void SimPortState::setInput(ModemLine line, bool on) {
    bool& level = levelOf(inputs, line);
    if (level == on)
        return;
    level = on;
    if (const short code = edgeEvent(line, on))
        raise(code);
}

void SimPortState::driveRts(bool on) {
    rts = on;
    if (wiring == SimWiring::LoopbackPlug)
        setInput(ModemLine::Cts, on);
}

void SimPortState::driveDtr(bool on) {
    dtr = on;
    if (wiring != SimWiring::LoopbackPlug)
        return;
    setInput(ModemLine::Dsr, on);  // in event order: a fall reports before the carrier change
    setInput(ModemLine::Cd, on);
}

void SimPortState::plugInputs() {
    if (wiring != SimWiring::LoopbackPlug)
        return;
    inputs.cts = rts;
    inputs.dsr = dtr;
    inputs.cd = dtr;
}

void SimPortState::checkDevice(quint64 id) const {
    if (openId != id)
        throw CommError(CommErrors::DeviceLost, kUnpluggedText);
}

void SimPortState::checkFailure(SimOperation operation) {
    const auto it = failures.find(operation);
    if (it == failures.end())
        return;
    const SimFailure failure = it->second;
    if (!failure.persistent)
        failures.erase(it);
    throw CommError(failure.number, failure.description);
}

void SimPortState::pumpArrived() {
    if (wire.pumpArrived(clock->nowNs()))
        raise(CommEvents::ReceiveOverflow);
}

void SimPortState::send(const QByteArray& bytes) {
    const SimWire::Echo echo{.on = wiring == SimWiring::LoopbackPlug,
                             .firstHalfOnly = partialEcho,
                             .extraDelayNs = echoDelayNs};
    if (!wire.send(bytes, settings, clock->nowNs(), echo))
        raise(CommEvents::TransmitFull);
}

void SimPortState::receiveFromFarEnd(const QByteArray& bytes) {
    wire.receiveFromFarEnd(bytes, settings, clock->nowNs());
}

void SimPortState::makeNoise(quint64 id, int step) {
    std::lock_guard lock(mutex);
    if (openId != id)
        return;
    pumpArrived();
    switch (step % 3) {
        case 0:
            setInput(ModemLine::Ring, true);
            setInput(ModemLine::Ring, false);
            break;
        case 1:
            raise(CommEvents::Break);
            break;
        default:
            setInput(ModemLine::Cts, !inputs.cts);
            setInput(ModemLine::Cts, !inputs.cts);
            break;
    }
}

void SimPortState::release(quint64 id) {
    std::lock_guard lock(mutex);
    if (openId != id)
        return;  // vanished meanwhile: already released
    openId = 0;
    sink = nullptr;
    wire.clearArriving();
}

void SimPortState::unplug() {
    if (openId == 0)
        return;
    DeviceEventSink* lostSink = sink;
    openId = 0;
    sink = nullptr;
    wire.clearArriving();
    lostSink->deviceLost(CommError(CommErrors::DeviceLost, kUnpluggedText));
}

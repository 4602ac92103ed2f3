#include "sim_port_state.h"

#include "comm_event.h"

namespace {

const QString kUnpluggedText = QStringLiteral("The simulated port was unplugged.");

}  // namespace

void SimPortState::raise(short code) {
    if (sink)
        sink->portEvent(code);
}

void SimPortState::setCts(bool on) {
    if (inputs.cts == on)
        return;
    inputs.cts = on;
    raise(CommEvents::CtsChanged);
}

void SimPortState::setDsr(bool on) {
    if (inputs.dsr == on)
        return;
    inputs.dsr = on;
    if (!on)
        raise(CommEvents::DsrFell);
}

void SimPortState::setCd(bool on) {
    if (inputs.cd == on)
        return;
    inputs.cd = on;
    raise(CommEvents::CdChanged);
}

void SimPortState::setRing(bool on) {
    if (inputs.ring == on)
        return;
    inputs.ring = on;
    if (!on)
        raise(CommEvents::Ring);
}

void SimPortState::driveRts(bool on) {
    rts = on;
    if (wiring == SimWiring::LoopbackPlug)
        setCts(on);
}

void SimPortState::driveDtr(bool on) {
    dtr = on;
    if (wiring != SimWiring::LoopbackPlug)
        return;
    setDsr(on);  // a fall reports before the carrier change
    setCd(on);
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
            setRing(true);
            setRing(false);
            break;
        case 1:
            raise(CommEvents::Break);
            break;
        default:
            setCts(!inputs.cts);
            setCts(!inputs.cts);
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

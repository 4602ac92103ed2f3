#include "sim_device.h"

SimDevice::SimDevice(std::shared_ptr<SimPortState> state, quint64 id,
                     std::chrono::milliseconds noise)
    : state_(std::move(state)), id_(id) {
    if (noise.count() > 0)
        noise_ = std::make_unique<SimNoiseMaker>(state_, id_, noise);
}

SimDevice::~SimDevice() {
    noise_.reset();
    state_->release(id_);
}

void SimDevice::configure(const LineSettings& settings) {
    auto lock = enter(SimOperation::Configure);
    state_->settings = settings;
}

void SimDevice::setDtr(bool on) {
    auto lock = enter(SimOperation::SetDtr);
    state_->driveDtr(on);
}

void SimDevice::setRts(bool on) {
    auto lock = enter(SimOperation::SetRts);
    state_->driveRts(on);
}

ModemInputs SimDevice::inputs() {
    auto lock = enter(SimOperation::Inputs);
    return state_->inputs;
}

void SimDevice::write(const QByteArray& bytes) {
    auto lock = enter(SimOperation::Write);
    state_->send(bytes);
}

QByteArray SimDevice::takeInput() {
    auto lock = enter(SimOperation::TakeInput);
    return state_->wire.takeReceived();
}

std::unique_lock<std::mutex> SimDevice::enter(SimOperation operation) {
    std::unique_lock lock(state_->mutex);
    state_->checkDevice(id_);
    state_->pumpArrived();
    state_->checkFailure(operation);
    return lock;
}

#pragma once

#include <chrono>
#include <memory>
#include <mutex>

#include "serial_device.h"
#include "sim_noise_maker.h"
#include "sim_port_state.h"

// The device a simulated port hands out when opened. It fails with DeviceLost once the port
// no longer counts it as its device.
class SimDevice : public SerialDevice {
public:
    SimDevice(std::shared_ptr<SimPortState> state, quint64 id, std::chrono::milliseconds noise);
    ~SimDevice() override;

    void configure(const LineSettings& settings) override;
    void setDtr(bool on) override;
    void setRts(bool on) override;
    ModemInputs inputs() override;
    void write(const QByteArray& bytes) override;
    QByteArray takeInput() override;
    // The rig reports every edge it makes.
    PortFidelity fidelity() const override {
        return PortFidelity::all({FidelityGrade::EveryEdge, 0});
    }

private:
    std::unique_lock<std::mutex> enter(SimOperation operation);

    std::shared_ptr<SimPortState> state_;
    const quint64 id_;
    std::unique_ptr<SimNoiseMaker> noise_;
};

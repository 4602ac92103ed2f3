#pragma once

#include <QString>
#include <memory>
#include <optional>

#include "device_loss.h"
#include "driver_traits.h"
#include "low_latency.h"
#include "receive_buffer.h"
#include "serial_device.h"
#include "system_port_worker.h"
#include "system_tty.h"

// A port on an operating-system tty. Opening takes the tty for exclusive use, puts it in raw
// mode with the request's settings and output lines, discards stale input and starts the
// worker. An adapter that reports its lines per USB packet is asked to send them every
// millisecond while open. Once the device is lost the calls here do nothing (inputs read all
// false): the loss has been reported and the control closes the port.
class SystemSerialDevice : public SerialDevice {
public:
    SystemSerialDevice(const QString& path, const OpenRequest& request, DeviceEventSink& sink,
                       SystemPortWorker::Options options = {}, const SystemFolders& folders = {});
    ~SystemSerialDevice() override = default;

    void configure(const LineSettings& settings) override;
    void setDtr(bool on) override;
    void setRts(bool on) override;
    ModemInputs inputs() override;
    void write(const QByteArray& bytes) override;
    QByteArray takeInput() override;
    PortFidelity fidelity() const override;

    quint64 wakeups() const { return worker_->wakeups(); }

private:
    void setOutputLine(int bit, bool on, const char* name);

    // Declared in this order so that the worker stops before the others go.
    SystemTty tty_;
    const DriverTraits traits_;
    std::optional<LowLatencyRequest> lowLatency_;  // on adapters that report per packet
    int reportIntervalMs_ = 0;
    ReceiveBuffer receive_{kReceiveBufferSize};
    DeviceLoss loss_;
    std::unique_ptr<SystemPortWorker> worker_;
};

#pragma once

#include <QString>
#include <memory>

#include "com_port.h"
#include "comm_event_reader.h"
#include "comm_event_thread.h"
#include "comm_loss.h"
#include "handle_comm_calls.h"
#include "receive_buffer.h"
#include "serial_device.h"
#include "win_event.h"

// A port on a Windows COM device. Opening takes the port for this program alone, applies the
// request's settings and output lines and starts the event thread. Once the device is lost
// the calls here do nothing (inputs read all false): the loss has been reported and the
// control closes the port.
class Win32SerialDevice : public SerialDevice {
public:
    Win32SerialDevice(const QString& name, const OpenRequest& request, DeviceEventSink& sink);
    ~Win32SerialDevice() override = default;

    void configure(const LineSettings& settings) override;
    void setDtr(bool on) override;
    void setRts(bool on) override;
    ModemInputs inputs() override;
    void write(const QByteArray& bytes) override;
    QByteArray takeInput() override;
    PortFidelity fidelity() const override;

private:
    void apply(const LineSettings& settings, bool dtr, bool rts);
    void setOutputLine(bool& line, bool on, unsigned long setFunction, unsigned long clearFunction,
                       const char* name);

    DeviceEventSink& sink_;
    LineSettings settings_;
    bool dtr_ = false;
    bool rts_ = false;
    bool modemLines_ = true;  // false on ports that have none (pseudo-terminals under Wine)
    WinEvent writeDone_;
    // Declared in this order so that the event thread stops before the others go.
    ComPort port_;
    HandleCommCalls calls_;
    ReceiveBuffer receive_{kReceiveBufferSize};
    CommLoss loss_;
    CommEventReader reader_;
    std::unique_ptr<CommEventThread> events_;
};

#pragma once

#include <QByteArray>

#include "comm_error.h"
#include "event_stamp.h"
#include "line_fidelity.h"
#include "line_settings.h"

struct ModemInputs {
    bool dsr = false;
    bool cts = false;
    bool cd = false;
    bool ring = false;
};

// Where a device reports what happens on its port. Called from any thread.
class DeviceEventSink {
public:
    virtual ~DeviceEventSink() = default;
    // One call per edge or error, in the order they happened, stamped now: devices call it on
    // the thread that saw the event.
    void portEvent(short code) { portEventAt(code, EventStamp::now()); }
    virtual void portEventAt(short code, const EventStamp& when) = 0;
    // The device is gone (unplugged, hung up). Called at most once per device.
    virtual void deviceLost(const CommError& reason) = 0;
};

// An open port. Every call comes from the user-interface thread; a failure throws CommError.
// Destroying the device closes the port, stops any worker and releases the port for others.
class SerialDevice {
public:
    virtual ~SerialDevice() = default;

    virtual void configure(const LineSettings& settings) = 0;
    virtual void setDtr(bool on) = 0;
    virtual void setRts(bool on) = 0;
    virtual ModemInputs inputs() = 0;
    // Queues bytes for sending; bytes that find the transmit buffer full are dropped and
    // reported as a transmit-full event.
    virtual void write(const QByteArray& bytes) = 0;
    // Every byte received and not yet taken, with line-error markers already resolved.
    virtual QByteArray takeInput() = 0;
    // How faithfully this port sees each input line.
    virtual PortFidelity fidelity() const { return {}; }
};

// The state a port starts in when it opens.
struct OpenRequest {
    LineSettings settings;
    bool dtr = false;
    bool rts = false;
};

inline constexpr int kReceiveBufferSize = 1024;
inline constexpr int kTransmitBufferSize = 512;

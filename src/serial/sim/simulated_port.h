#pragma once

#include <QStringList>
#include <chrono>
#include <memory>

#include "line_edge_events.h"
#include "port_source.h"
#include "serial_device.h"
#include "sim_clock.h"
#include "sim_rig_options.h"
#include "sim_wire.h"

struct SimPortState;

// A simulated port with its rig: by default a standard RS-232 loopback plug (TX to RX,
// RTS to CTS, DTR to DSR and CD). Lives across opens, so tests and demos can set it up
// before the control opens it and look at it afterwards.
//
// Timing follows the clock given at construction: each character takes
// LineSettings::bitsPerCharacter() / baud seconds on the wire, and received bytes become
// readable once the clock has passed their arrival time. Nothing runs on its own except the
// noise maker, so with a ManualClock the test decides when echoes arrive.
//
// Every member may be called from any thread. The open device's sink is called from the
// thread that caused the event, while the port's lock is held, so events keep their order.
class SimulatedPort : public PortSource {
public:
    using Wiring = SimWiring;
    using Operation = SimOperation;
    using InputLine = ModemLine;
    using Repeat = SimRepeat;

    static constexpr std::chrono::milliseconds kLateEchoDelay{150};
    static constexpr std::chrono::milliseconds kNoiseInterval{700};
    static constexpr qsizetype kTransmitLogSize = SimWire::kTransmitLogSize;

    // "" (the loopback plug) and the other variants variantNames() lists; null if unknown.
    static std::shared_ptr<SimulatedPort> fromVariant(const QString& variant);
    static QStringList variantNames();

    explicit SimulatedPort(std::shared_ptr<SimClock> clock = std::make_shared<SteadyClock>());
    ~SimulatedPort() override;

    // Throws CommError: InvalidPortNumber while absent, PortAlreadyOpen while held or while a
    // device of this port is open, or an injected open failure.
    std::unique_ptr<SerialDevice> open(const OpenRequest& request, DeviceEventSink& sink) override;

    // Set-up.
    void setWiring(Wiring wiring);
    // Added to every echo's wire time.
    void setEchoDelay(std::chrono::nanoseconds extra);
    // Only the first half of each write echoes.
    void setPartialEcho(bool firstHalfOnly);
    void setHeld(bool held);
    void setAbsent(bool absent);
    // A device opened while this is non-zero injects ring, break and a CTS pulse in turn,
    // one every interval, until it is closed. Zero: quiet.
    void setNoise(std::chrono::milliseconds interval);
    // The operation throws CommError(number, description), once or until cleared.
    void failOperation(Operation operation, int number, const QString& description,
                       Repeat repeat = Repeat::Once);
    void clearFailures();

    // What the far end does. Events reach the open device's sink; with no device open the
    // lines still change but nobody hears of it.
    // Raises any event code as is; false when no device is open.
    bool injectEvent(short code);
    // A change raises what line_edge_events.h says that edge raises.
    void driveInput(InputLine line, bool active);
    // Raises and drops the ring signal: one ring event.
    void pulseRing();
    // Bytes sent by the far end, arriving one character time after another from now.
    // Dropped when no device is open.
    void receive(const QByteArray& bytes);
    // The port disappears: the open device reports deviceLost (DeviceLost) once and fails
    // every later call, and opening gives InvalidPortNumber until restore().
    void vanish();
    void restore();

    // What the rig sees.
    bool isOpen() const;
    bool present() const override;
    int openCount() const;
    QByteArray transmitted() const;
    void clearTransmitted();
    LineSettings lineSettings() const;
    bool dtr() const;
    bool rts() const;
    ModemInputs inputLines() const;

private:
    std::shared_ptr<SimPortState> state_;
};

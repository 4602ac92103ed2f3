#pragma once

#include <optional>

#include "serial_port.h"

// The port as a port notification that was held sees it: its event code stays the one the
// port had raised when the notification came, though later events have come since. Every
// other member, and the reading of the code itself, goes to the port.
class NotifiedPort : public SerialPort {
public:
    explicit NotifiedPort(SerialPort& port) : port_(port) {}

    // Nullopt: the port's own code, as a notification that ran at once reads it.
    void setEventCode(std::optional<short> code) { code_ = code; }
    std::optional<short> eventCode() const { return code_; }

    bool PortOpen() const override { return port_.PortOpen(); }
    void setPortOpen(bool open) override { port_.setPortOpen(open); }
    short CommPort() const override { return port_.CommPort(); }
    void setCommPort(short port) override { port_.setCommPort(port); }
    QString Settings() const override { return port_.Settings(); }
    void setSettings(const QString& settings) override { port_.setSettings(settings); }
    int InputMode() const override { return port_.InputMode(); }
    void setInputMode(int mode) override { port_.setInputMode(mode); }
    void setOutput(const QString& text) override { port_.setOutput(text); }
    QString Input() override { return port_.Input(); }
    bool DTREnable() const override { return port_.DTREnable(); }
    void setDTREnable(bool on) override { port_.setDTREnable(on); }
    bool RTSEnable() const override { return port_.RTSEnable(); }
    void setRTSEnable(bool on) override { port_.setRTSEnable(on); }
    bool DSRHolding() const override { return port_.DSRHolding(); }
    bool CTSHolding() const override { return port_.CTSHolding(); }
    bool CDHolding() const override { return port_.CDHolding(); }
    short CommEvent() const override {
        const short now = port_.CommEvent();
        return code_.value_or(now);
    }

private:
    SerialPort& port_;
    std::optional<short> code_;
};

#pragma once

#include "serial_port.h"

// A port that passes every call on to another one; a stand-in overrides what it changes.
class ForwardingSerialPort : public SerialPort {
public:
    explicit ForwardingSerialPort(SerialPort& port) : port_(port) {}

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
    short CommEvent() const override { return port_.CommEvent(); }
    bool PortPresent(short port) const override { return port_.PortPresent(port); }

protected:
    SerialPort& port() const { return port_; }

private:
    SerialPort& port_;
};

#pragma once

#include <QString>

// The surface of the serial port control that the tester logic uses. Every member may
// throw CommError.
class SerialPort {
public:
    virtual ~SerialPort() = default;

    virtual bool PortOpen() const = 0;
    virtual void setPortOpen(bool open) = 0;
    virtual short CommPort() const = 0;
    virtual void setCommPort(short port) = 0;
    virtual QString Settings() const = 0;
    virtual void setSettings(const QString& settings) = 0;
    virtual int InputMode() const = 0;
    virtual void setInputMode(int mode) = 0;
    virtual void setOutput(const QString& text) = 0;
    virtual QString Input() = 0;
    virtual bool DTREnable() const = 0;
    virtual void setDTREnable(bool on) = 0;
    virtual bool RTSEnable() const = 0;
    virtual void setRTSEnable(bool on) = 0;
    virtual bool DSRHolding() const = 0;
    virtual bool CTSHolding() const = 0;
    virtual bool CDHolding() const = 0;
    virtual short CommEvent() const = 0;
    // Whether port number `port` reaches a device now; opens nothing.
    virtual bool PortPresent(short port) const = 0;
};

#pragma once

#include <QString>
#include <cstdint>

#include "comm_error.h"
#include "line_settings.h"

// A COM port opened for this program alone (no sharing) and for overlapped I/O, with queues
// sized and timeouts set so that reads return at once with what is there. Closed when
// destroyed.
class ComPort {
public:
    using Handle = void*;

    // `name` is "COM5". Throws CommError: InvalidPortNumber when no such port answers,
    // PortAlreadyOpen when another program holds it, OpenFailed for any other failure.
    explicit ComPort(QString name);
    ~ComPort();
    ComPort(const ComPort&) = delete;
    ComPort& operator=(const ComPort&) = delete;

    Handle handle() const { return handle_; }
    const QString& name() const { return name_; }

    // The line settings with DTR and RTS driven as given, without flow control. Returns 0 or
    // the system error code.
    std::uint32_t applySettings(const LineSettings& settings, bool dtr, bool rts);

private:
    void prepare();
    void close();

    QString name_;
    Handle reservation_;  // a named object, so that Wine, which lets a port open twice, tells too
    Handle handle_;
};

// The error for a COM name that reaches no device.
CommError invalidPortNumberFor(const QString& name);

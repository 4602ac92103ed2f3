#include "win32_serial_device.h"

#include <windows.h>

#include "comm_event.h"
#include "comm_flags.h"
#include "win32_errors.h"

Win32SerialDevice::Win32SerialDevice(const QString& name, const OpenRequest& request,
                                     DeviceEventSink& sink)
    : sink_(sink),
      settings_(request.settings),
      dtr_(request.dtr),
      rts_(request.rts),
      port_(name),
      calls_(port_.handle()),
      loss_(name, sink),
      reader_(calls_, receive_, sink, loss_) {
    apply(settings_, dtr_, rts_);
    std::uint32_t bits = 0;
    modemLines_ = !WinErrors::meansNoModemLines(calls_.modemStatus(bits));
    events_ = std::make_unique<CommEventThread>(port_.handle(), reader_);
}

void Win32SerialDevice::apply(const LineSettings& settings, bool dtr, bool rts) {
    const DWORD error = port_.applySettings(settings, dtr, rts);
    if (error == 0 || loss_.reportIfGone(error))
        return;
    throw CommError(CommErrors::SettingsRejected,
                    describeWindowsError(QStringLiteral("Setting %1 on").arg(settings.toText()),
                                         port_.name(), error));
}

void Win32SerialDevice::configure(const LineSettings& settings) {
    if (loss_.lost())
        return;
    apply(settings, dtr_, rts_);
    settings_ = settings;
}

void Win32SerialDevice::setDtr(bool on) {
    setOutputLine(dtr_, on, SETDTR, CLRDTR, "DTR");
}

void Win32SerialDevice::setRts(bool on) {
    setOutputLine(rts_, on, SETRTS, CLRRTS, "RTS");
}

void Win32SerialDevice::setOutputLine(bool& line, bool on, unsigned long setFunction,
                                      unsigned long clearFunction, const char* name) {
    if (loss_.lost())
        return;
    if (EscapeCommFunction(port_.handle(), on ? setFunction : clearFunction)) {
        line = on;
        return;
    }
    const DWORD error = GetLastError();
    if (WinErrors::meansNoModemLines(error)) {
        line = on;  // kept, so that a later change of settings drives it so
        return;
    }
    if (loss_.reportIfGone(error))
        return;
    const QString action =
        QStringLiteral("Switching %1 %2 for")
            .arg(QLatin1String(name), on ? QLatin1String("on") : QLatin1String("off"));
    throw CommError(CommErrors::LineControlFailed,
                    describeWindowsError(action, port_.name(), error));
}

ModemInputs Win32SerialDevice::inputs() {
    if (loss_.lost())
        return {};
    std::uint32_t bits = 0;
    const std::uint32_t error = calls_.modemStatus(bits);
    if (error == 0)
        return {(bits & MS_DSR_ON) != 0, (bits & MS_CTS_ON) != 0, (bits & MS_RLSD_ON) != 0,
                (bits & MS_RING_ON) != 0};
    if (WinErrors::meansNoModemLines(error) || loss_.reportIfGone(error))
        return {};
    throw CommError(
        CommErrors::LineControlFailed,
        describeWindowsError(QStringLiteral("Reading the input lines of"), port_.name(), error));
}

void Win32SerialDevice::write(const QByteArray& bytes) {
    if (loss_.lost() || bytes.isEmpty())
        return;
    OVERLAPPED overlapped{};
    overlapped.hEvent = writeDone_.handle();
    ResetEvent(writeDone_.handle());
    DWORD sent = 0;
    const DWORD size = static_cast<DWORD>(bytes.size());
    if (!WriteFile(port_.handle(), bytes.constData(), size, &sent, &overlapped)) {
        DWORD error = GetLastError();
        if (error == ERROR_IO_PENDING)
            error =
                GetOverlappedResult(port_.handle(), &overlapped, &sent, TRUE) ? 0 : GetLastError();
        if (error != 0 && error != ERROR_TIMEOUT && error != ERROR_SEM_TIMEOUT) {
            if (loss_.reportIfGone(error))
                return;
            throw CommError(
                CommErrors::WriteFailed,
                describeWindowsError(QStringLiteral("Writing to"), port_.name(), error));
        }
    }
    // The write timed out with the driver's queue full: the rest is dropped.
    if (sent < size)
        sink_.portEvent(CommEvents::TransmitFull);
}

QByteArray Win32SerialDevice::takeInput() {
    // What the driver holds now counts too, even before the event thread saw it.
    reader_.readReceived();
    return receive_.take();
}

PortFidelity Win32SerialDevice::fidelity() const {
    return PortFidelity::all(
        {modemLines_ ? FidelityGrade::ReportedChanges : FidelityGrade::NotWired, 0});
}

#include "system_serial_device.h"

#include <sys/ioctl.h>

#include "open_errors.h"

SystemSerialDevice::SystemSerialDevice(const QString& path, const OpenRequest& request,
                                       DeviceEventSink& sink, SystemPortWorker::Options options)
    : tty_(path) {
    tty_.applySettings(request.settings);
    // Opening a tty raises DTR and RTS; the port starts with the lines the request asks for.
    setOutputLine(TIOCM_DTR, request.dtr, "DTR");
    setOutputLine(TIOCM_RTS, request.rts, "RTS");
    tty_.discardInput();
    worker_ = std::make_unique<SystemPortWorker>(tty_, receive_, sink, request.settings, options);
}

void SystemSerialDevice::configure(const LineSettings& settings) {
    if (worker_->lost())
        return;
    tty_.applySettings(settings);
    worker_->settingsChanged(settings);
}

void SystemSerialDevice::setDtr(bool on) {
    setOutputLine(TIOCM_DTR, on, "DTR");
}

void SystemSerialDevice::setRts(bool on) {
    setOutputLine(TIOCM_RTS, on, "RTS");
}

void SystemSerialDevice::setOutputLine(int bit, bool on, const char* name) {
    if (worker_ && worker_->lost())
        return;
    const int err = tty_.setModemBits(bit, on);
    if (err == 0) {
        if (worker_)
            worker_->outputLinesChanged();
        return;
    }
    // A device without modem lines (a pseudo-terminal) just keeps the setting.
    if (isUnsupportedIoctl(err))
        return;
    if (worker_ && meansDeviceGone(err)) {
        worker_->reportLost();
        return;
    }
    const QString action =
        QStringLiteral("Switching %1 %2 for")
            .arg(QLatin1String(name), on ? QLatin1String("on") : QLatin1String("off"));
    throw CommError(CommErrors::LineControlFailed, describeSystemError(action, tty_.path(), err));
}

ModemInputs SystemSerialDevice::inputs() {
    if (worker_->lost())
        return {};
    LineSnapshot::Levels levels;
    const int err = tty_.readLevels(levels);
    if (err == 0)
        return {levels.dsr, levels.cts, levels.cd, levels.ring};
    if (isUnsupportedIoctl(err))
        return {};
    if (meansDeviceGone(err)) {
        worker_->reportLost();
        return {};
    }
    throw CommError(
        CommErrors::LineControlFailed,
        describeSystemError(QStringLiteral("Reading the input lines of"), tty_.path(), err));
}

void SystemSerialDevice::write(const QByteArray& bytes) {
    worker_->send(bytes);
}

QByteArray SystemSerialDevice::takeInput() {
    return receive_.take();
}

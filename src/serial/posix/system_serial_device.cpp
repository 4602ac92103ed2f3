#include "system_serial_device.h"

#include <sys/ioctl.h>

#include "port_holders.h"

SystemSerialDevice::SystemSerialDevice(const QString& path, const OpenRequest& request,
                                       DeviceEventSink& sink, SystemPortWorker::Options options,
                                       const SystemFolders& folders)
    : tty_(path, folders),
      traits_(driverTraitsOf(tty_.sysfsEntry())),
      loss_(tty_.path(), sink,
            tty_.appearedJustBeforeOpen() ? newAdapterAdvice(tty_.path()) : QString()) {
    if (traits_.reportsPerPacket) {
        lowLatency_.emplace(tty_.fd());
        reportIntervalMs_ = lowLatency_->granted() ? 1 : latencyTimerMs(tty_.sysfsEntry());
    }
    tty_.applySettings(request.settings);
    // Opening a tty raises DTR and RTS; the port starts with the lines the request asks for.
    setOutputLine(TIOCM_DTR, request.dtr, "DTR");
    setOutputLine(TIOCM_RTS, request.rts, "RTS");
    tty_.discardInput();
    options.reportIntervalMs = reportIntervalMs_;
    worker_ =
        std::make_unique<SystemPortWorker>(tty_, receive_, sink, loss_, request.settings, options);
}

void SystemSerialDevice::configure(const LineSettings& settings) {
    if (loss_.lost())
        return;
    const bool replaced = tty_.applySettings(settings);
    worker_->settingsChanged(settings, replaced);
}

void SystemSerialDevice::setDtr(bool on) {
    setOutputLine(TIOCM_DTR, on, "DTR");
}

void SystemSerialDevice::setRts(bool on) {
    setOutputLine(TIOCM_RTS, on, "RTS");
}

void SystemSerialDevice::setOutputLine(int bit, bool on, const char* name) {
    if (loss_.lost())
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
    // Once the port is open a vanished device is a loss; while opening, a failure.
    if (worker_ && loss_.reportIfGone(err))
        return;
    const QString action =
        QStringLiteral("Switching %1 %2 for")
            .arg(QLatin1String(name), on ? QLatin1String("on") : QLatin1String("off"));
    throw CommError(CommErrors::LineControlFailed, describeSystemError(action, tty_.path(), err));
}

ModemInputs SystemSerialDevice::inputs() {
    if (loss_.lost())
        return {};
    LineSnapshot::Levels levels;
    const int err = tty_.readLevels(levels);
    if (err == 0)
        return {levels.dsr, levels.cts, levels.cd, levels.ring};
    if (isUnsupportedIoctl(err))
        return {};
    if (loss_.reportIfGone(err))
        return {};
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

PortFidelity SystemSerialDevice::fidelity() const {
    return worker_->fidelity(traits_, reportIntervalMs_);
}

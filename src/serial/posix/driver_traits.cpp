#include "driver_traits.h"

#include <algorithm>
#include <initializer_list>

#include "line_means.h"
#include "line_watcher.h"
#include "sysfs_tty.h"

namespace {

DriverTraits traitsOfDriver(const QString& driver) {
    DriverTraits traits;
    traits.driver = driver;
    traits.ctsWired = driver != QLatin1String("cdc_acm");
    traits.reportsPerPacket = driver == QLatin1String("ftdi_sio");
    return traits;
}

bool isOneOf(const QString& driver, std::initializer_list<const char*> names) {
    return std::any_of(names.begin(), names.end(),
                       [&](const char* name) { return driver == QLatin1String(name); });
}

}  // namespace

DriverTraits driverTraitsOf(const QString& ttyEntry) {
    return traitsOfDriver(ttyEntry.isEmpty() ? QString() : SysfsTty::driverName(ttyEntry));
}

int latencyTimerMs(const QString& ttyEntry) {
    bool ok = false;
    const int ms =
        SysfsTty::attribute(ttyEntry + QStringLiteral("/device"), "latency_timer").toInt(&ok);
    return ok && ms > 0 ? ms : 16;
}

PortFidelity expectedFidelity(const QString& driver) {
    constexpr int kLowLatencyMs = 1;  // asked for while open
    LineMeans means{.levels = true};
    int reportMs = 0;
    if (isOneOf(driver, {"serial8250", "serial", "8250_pci", "exar_serial", "dw-apb-uart"})) {
        means.waits = means.counts = true;
    } else if (isOneOf(driver, {"ftdi_sio"})) {
        means.waits = means.counts = true;
        reportMs = kLowLatencyMs;
    } else if (isOneOf(driver, {"pl2303", "ch341", "cdc_acm"})) {
        means.waits = true;
    } else if (!isOneOf(driver, {"cp210x"})) {  // cp210x: levels only, its counters stand still
        return {};
    }
    const LineFidelity line = gradeLine(means, reportMs, LineWatcher::kPollMs);
    means.wired = traitsOfDriver(driver).ctsWired;
    return {line, gradeLine(means, reportMs, LineWatcher::kPollMs), line, line};
}

QString driverWords(const QString& ttyEntry) {
    const QString driver = SysfsTty::driverName(ttyEntry);
    if (driver.isEmpty())
        return {};
    const QString lines = portFidelityWords(expectedFidelity(driver));
    return QStringLiteral("driver ") + driver +
           (lines.isEmpty() ? QString() : QStringLiteral("; ") + lines);
}

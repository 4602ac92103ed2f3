#include "run_check.h"

#include <QCoreApplication>
#include <QFile>
#include <cstdio>

#include "check_files.h"
#include "check_table.h"
#include "comm_error.h"
#include "error_info.h"
#include "exit_on_signal.h"
#include "open_messages.h"
#include "port_map.h"
#include "port_numbering.h"
#include "serial_port_control.h"

namespace {

constexpr int kAllPassed = 0;
constexpr int kFailed = 1;
constexpr int kNotRun = 2;
// As a shell tells a program ended by a signal: a station sees an interrupted run, apart from
// a unit that failed (1) and a check that could not run (2).
constexpr int kSignalled = 128;

void tell(const QString& text) {
    QString lines = text;
    lines.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    std::fputs(qPrintable(lines + '\n'), stderr);
}

bool writeFile(const QString& path, const QByteArray& contents) {
    if (path.isEmpty())
        return true;
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
        file.write(contents) == contents.size() && file.flush())
        return true;
    tell(QStringLiteral("Could not write %1: %2").arg(path, file.errorString()));
    return false;
}

void describeAdapter(const MappedDeviceOpener& opener, CheckReport& report) {
    const PortNumbering now = opener.numbering();
    if (const FoundSerialDevice* device = now.deviceAt(report.port)) {
        report.adapter = *device;
        return;
    }
    const PortReach& reach = now.reach(report.port);
    report.adapter.path = reach.device;
    report.adapter.description = reach.detail;
}

}  // namespace

int runCheck(const CheckOptions& options, std::shared_ptr<MappedDeviceOpener> opener) {
    CheckReport report;
    report.program =
        QCoreApplication::applicationName() + ' ' + QCoreApplication::applicationVersion();
    report.port = options.port;
    report.plug = options.plug;
    describeAdapter(*opener, report);

    // Ctrl+C or a station's SIGTERM ends the run where it stands; unwinding then closes the
    // port, which removes its lock file. Made first, so that it outlives the port.
    ExitOnSignal exitOnSignal;
    SerialPortControl port(opener);
    PortCheck check(port, options.plug, options.cycles);
    exitOnSignal.setHandler([&check](int signal) { check.stop(signal); });
    check.startRecording();
    report.started = EventStamp::now();
    try {
        port.setCommPort(options.port);
        port.setPortOpen(true);
    } catch (...) {
        tell(openFailureMessage(options.port, currentErrorInfo()));
        return kNotRun;
    }
    QObject::connect(&port, &SerialPortControl::deviceLost, &port,
                     [](int number, const QString& description) {
                         tell(QStringLiteral("The port was closed.\r\n Error number: %1\r\n"
                                             "Error description: %2")
                                  .arg(number)
                                  .arg(description));
                     });
    try {
        check.run(report);
    } catch (const CheckStopped& stopped) {
        tell(QStringLiteral("The check was stopped by signal %1; no verdict.").arg(stopped.signal));
        return kSignalled + stopped.signal;
    } catch (...) {
        const ErrorInfo error = currentErrorInfo();
        tell(QStringLiteral("The check stopped: %1 (error %2)")
                 .arg(error.description)
                 .arg(error.number));
        return kNotRun;
    }
    report.durationMs =
        std::chrono::duration<double, std::milli>(EventStamp::now().steady - report.started.steady)
            .count();
    port.setPortOpen(false);

    std::fputs(qPrintable(checkTable(report)), stdout);
    std::fflush(stdout);
    if (!writeFile(options.jsonPath, checkJson(report)) ||
        !writeFile(options.junitPath, checkJUnit(report)))
        return kNotRun;
    return report.passed() ? kAllPassed : kFailed;
}

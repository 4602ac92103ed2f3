#include <QApplication>
#include <QTimer>
#include <cstdio>

#include "command_line.h"
#include "exit_on_signal.h"
#include "font_warm_up.h"
#include "main_window.h"
#include "port_listing.h"
#include "port_sources.h"
#include "program_arguments.h"
#include "qt_platform.h"
#include "run_check.h"
#include "serial_port_control.h"
#include "tester.h"
#include "window_picture.h"

namespace {

int runWindow(QApplication& app, const AppOptions& options) {
    // Made before the window, so that it still answers while the window closes the port.
    ExitOnSignal exitOnSignal;
    MainWindow window(programPorts(options.ports), nullptr);
    // Closed as the user would close it, which closes the port; the exit ends any wait or
    // message box in progress as well.
    int signalled = 0;
    exitOnSignal.setHandler([&window, &signalled](int signal) {
        signalled = signal;
        window.close();
        QCoreApplication::exit();
    });
    QtPlatform platform;
    Tester tester(window, window.comPort(), platform);

    if (!options.screenshotPath.isEmpty())
        tester.afterFirstPoll([&window, path = options.screenshotPath] {
            // Once the poll's own events have been handled, so the picture shows their result.
            QTimer::singleShot(0, &window, [&window, path] {
                const bool saved = saveClientAreaPng(window, path);
                std::fprintf(saved ? stdout : stderr, "%s %s\n", saved ? "Saved" : "Could not save",
                             qPrintable(path));
                QCoreApplication::exit(saved ? 0 : 1);
            });
        });
    window.setEvents(&tester);

    // The window shows at once; the start-up selection runs as soon as the event loop does,
    // and the lamps take the port's state when it ends.
    window.show();
    QTimer::singleShot(0, &window, &MainWindow::load);
    const int code = app.exec();
    window.setEvents(nullptr);
    return signalled != 0 ? 128 + signalled : code;
}

// Everything that is answered or refused without a window is, before the window system is
// asked for a display: --help, --version, --list-ports, --check and mistakes work without one.
// The command line is read again with an application object, which the help takes the
// program's name from.
int answerWithoutWindow(int argc, char** argv) {
    QCoreApplication reader(argc, argv);
    const ParsedCommandLine parsed = parseCommandLine(QCoreApplication::arguments());
    if (parsed.exitCode)
        return printReply(parsed);
    if (parsed.options.listPorts) {
        std::fputs(qPrintable(listSerialPorts(*programPorts(parsed.options.ports))), stdout);
        return 0;
    }
    if (parsed.options.check.port != 0)
        return runCheck(parsed.options.check, programPorts(parsed.options.ports));
    return refuseUsage(parsed.options.missingDisplay);
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication::setApplicationName(QStringLiteral("Quillmark"));
    QCoreApplication::setApplicationVersion(QStringLiteral(QUILLMARK_VERSION));
    // Read without an application object on the window's way, which only waits for it.
    const ParsedCommandLine parsed = parseCommandLine(programArguments(argc, argv));
    if (!parsed.showsWindow())
        return answerWithoutWindow(argc, argv);
    FontWarmUp fonts;  // while Qt connects to the display
    // Names the menu entry that the window belongs to, so that desktops show its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral(QUILLMARK_APP_ID));
    QApplication app(argc, argv);
    fonts.finish();
    return runWindow(app, parsed.options);
}

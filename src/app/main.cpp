#include <QTimer>
#include <cstdio>

#include "command_line.h"
#include "guarded_application.h"
#include "main_window.h"
#include "port_listing.h"
#include "qt_platform.h"
#include "serial_port_control.h"
#include "tester.h"
#include "window_picture.h"

namespace {

int runWindow(GuardedApplication& app, const AppOptions& options) {
    auto opener = std::make_shared<MappedDeviceOpener>(options.ports);
    MainWindow window(opener, nullptr);
    QtPlatform platform;
    Tester tester(window, window.comPort(), platform);
    app.setReporter([&tester](const ErrorInfo& error) {
        tester.errorReporter().report(QStringLiteral("handling a window event"), error);
    });

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

    // The window loads before it shows, so its first picture has the port's state.
    window.load();
    window.show();
    const int code = app.exec();
    window.setEvents(nullptr);
    app.setReporter(nullptr);
    return code;
}

// --help, --version and --list-ports answer without a window, so they work where there is
// no display.
bool needsWindow(int argc, char** argv) {
    static const QStringList kAnswersOnly{"--help",    "-h", "-?",          "--help-all",
                                          "--version", "-v", "--list-ports"};
    for (int i = 1; i < argc; ++i)
        if (kAnswersOnly.contains(QString::fromLocal8Bit(argv[i])))
            return false;
    return true;
}

int answerWithoutWindow(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const ParsedCommandLine parsed = parseCommandLine(QCoreApplication::arguments());
    if (parsed.exitCode)
        return *parsed.exitCode;
    std::fputs(qPrintable(listSerialPorts(parsed.options.ports)), stdout);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication::setApplicationName(QStringLiteral("Quillmark"));
    QCoreApplication::setApplicationVersion(QStringLiteral(QUILLMARK_VERSION));
    if (!needsWindow(argc, argv))
        return answerWithoutWindow(argc, argv);

    GuardedApplication app(argc, argv);
    const ParsedCommandLine parsed = parseCommandLine(GuardedApplication::arguments());
    if (parsed.exitCode)
        return *parsed.exitCode;
    return runWindow(app, parsed.options);
}

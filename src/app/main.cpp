#include <QFile>
#include <QGuiApplication>
#include <QTextStream>
#include <cstdio>

#include "command_line.h"
#include "first_poll_screenshot.h"
#include "guarded_application.h"
#include "main_window.h"
#include "port_listing.h"
#include "qt_platform.h"
#include "tester.h"

namespace {

int runWindow(GuardedApplication& app, const AppOptions& options) {
    auto opener = std::make_shared<MappedDeviceOpener>(options.ports);
    MainWindow window(opener, nullptr);
    QtPlatform platform;
    Tester tester(window, window.comPort(), platform);
    app.setReporter([&tester](const ErrorInfo& error) {
        tester.errorReporter().report(QStringLiteral("handling a window event"), error);
    });

    FirstPollScreenshot screenshot(tester, options.screenshotPath, [&window](const QString& path) {
        const bool ok = window.saveClientAreaPng(path);
        std::fprintf(ok ? stdout : stderr, "%s %s\n", ok ? "Saved" : "Could not save",
                     qPrintable(path));
        return ok;
    });
    const bool takeScreenshot = !options.screenshotPath.isEmpty();
    window.setEvents(takeScreenshot ? static_cast<WindowEvents*>(&screenshot) : &tester);

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

    // Names the menu entry that the window belongs to, so that desktops show its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral(QUILLMARK_APP_ID));
    GuardedApplication app(argc, argv);
    const ParsedCommandLine parsed = parseCommandLine(GuardedApplication::arguments());
    if (parsed.exitCode)
        return *parsed.exitCode;
    return runWindow(app, parsed.options);
}

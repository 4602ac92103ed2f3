#include "command_line.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <cstdio>

#include "check_options.h"
#include "simulated_port.h"

namespace {

void printLine(FILE* stream, const QString& text) {
    std::fputs(qPrintable(text + '\n'), stream);
}

// The options Qt's window system and widgets take for themselves. The command line is read
// before the window system starts, so that a mistake is told even where there is no display;
// these are accepted then and left to Qt.
void acceptQtOwnOptions(QCommandLineParser& parser) {
    static const char* const kWithValue[] = {"platform",
                                             "platformpluginpath",
                                             "platformtheme",
                                             "plugin",
                                             "qwindowgeometry",
                                             "qwindowicon",
                                             "qwindowtitle",
                                             "session",
                                             "display",
                                             "geometry",
                                             "title",
                                             "icon",
                                             "name",
                                             "style",
                                             "stylesheet",
                                             "qmljsdebugger"};
    static const char* const kFlags[] = {"reverse", "widgetcount", "testability",
                                         "nograb",  "dograb",      "sync"};
    for (const char* name : kWithValue) {
        QCommandLineOption option(QString::fromLatin1(name), QString(), QStringLiteral("value"));
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    }
    for (const char* name : kFlags) {
        QCommandLineOption option(QString::fromLatin1(name));
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    }
}

}  // namespace

ParsedCommandLine parseCommandLine(const QStringList& arguments) {
    QCommandLineParser parser;
    QStringList simulated{QStringLiteral("sim (a loopback plug)")};
    for (const QString& variant : SimulatedPort::variantNames())
        if (!variant.isEmpty())
            simulated << QStringLiteral("sim:") + variant;
    parser.setApplicationDescription(
        QStringLiteral("Tests a serial port and the sensor wiring behind it.\n\n"
                       "Ports 1 to 16 reach the serial devices the system has (see "
                       "--list-ports), unless --port says otherwise. Simulated ports: ") +
        simulated.join(QStringLiteral(", ")) + '.');
    // Qt's own options are single-dash words ("-platform offscreen").
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.addHelpOption();
    parser.addVersionOption();
    acceptQtOwnOptions(parser);
    const QCommandLineOption portOption(
        QStringLiteral("port"),
        QStringLiteral("Points port N at DEVICE: a device path such as /dev/ttyUSB0 or "
                       "/dev/serial/by-id/..., or a simulated port. Repeatable."),
        QStringLiteral("N=DEVICE"));
    const QCommandLineOption listOption(
        QStringLiteral("list-ports"),
        QStringLiteral("Lists the port numbers with the device each reaches and what it is, "
                       "opening none of them, and exits."));
    const QCommandLineOption screenshotOption(
        QStringLiteral("screenshot"),
        QStringLiteral("Saves a PNG of the window once start-up and the first poll are "
                       "done, then exits."),
        QStringLiteral("FILE"));
    parser.addOptions({portOption, listOption, screenshotOption});
    addCheckOptions(parser);

    ParsedCommandLine result;
    if (!parser.parse(arguments)) {
        printLine(stderr, parser.errorText());
        result.exitCode = 2;
        return result;
    }
    if (parser.isSet(QStringLiteral("help"))) {
        printLine(stdout, parser.helpText());
        result.exitCode = 0;
        return result;
    }
    if (parser.isSet(QStringLiteral("version"))) {
        printLine(stdout, QCoreApplication::applicationName() + ' ' +
                              QCoreApplication::applicationVersion());
        result.exitCode = 0;
        return result;
    }
    for (const QString& entry : parser.values(portOption)) {
        const QString error = result.options.ports.addEntry(entry);
        if (!error.isEmpty()) {
            printLine(stderr, QStringLiteral("--port ") + error);
            result.exitCode = 2;
            return result;
        }
    }
    if (const QString error = readCheckOptions(parser, result.options.check); !error.isEmpty()) {
        printLine(stderr, error);
        result.exitCode = 2;
        return result;
    }
    result.options.listPorts = parser.isSet(listOption);
    result.options.screenshotPath = parser.value(screenshotOption);
    return result;
}

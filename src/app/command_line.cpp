#include "command_line.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <cstdio>
#include <functional>
#include <vector>

#include "check_options.h"
#include "port_sources.h"
#include "system_device.h"

namespace {

void printLine(FILE* stream, const QString& text) {
    std::fputs(qPrintable(text + '\n'), stream);
}

constexpr int kUsageExitCode = 2;

QString usageRefusal(const QString& why) {
    return QStringLiteral("quillmark: %1 See quillmark --help.").arg(why);
}

ParsedCommandLine refused(const QString& why) {
    return {{}, kUsageExitCode, usageRefusal(why)};
}

ParsedCommandLine answered(const QString& text) {
    return {{}, 0, text};
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

// The program's own options; each reads its value into the options, or returns why not.
struct ProgramOption {
    QCommandLineOption option;
    std::function<QString(const QCommandLineParser&, const QCommandLineOption&, AppOptions&)> take;
};

std::vector<ProgramOption> programOptions() {
    return {
        {QCommandLineOption(
             QStringLiteral("port"),
             QStringLiteral("Points port N at DEVICE: %1, or a simulated port. Once a "
                            "number; repeatable for different numbers.")
                 .arg(systemDeviceNameRule()),
             QStringLiteral("N=DEVICE")),
         [](const QCommandLineParser& parser, const QCommandLineOption& option,
            AppOptions& options) {
             for (const QString& entry : parser.values(option))
                 if (const QString error = addPortEntry(options.ports, entry); !error.isEmpty())
                     return QStringLiteral("--port ") + error;
             return QString();
         }},
        {QCommandLineOption(
             QStringLiteral("list-ports"),
             QStringLiteral("Lists the port numbers with the device each reaches and what it "
                            "is, opening none of them, and exits.")),
         [](const QCommandLineParser& parser, const QCommandLineOption& option,
            AppOptions& options) {
             options.listPorts = parser.isSet(option);
             return QString();
         }},
        {QCommandLineOption(
             QStringLiteral("screenshot"),
             QStringLiteral("Saves a PNG of the window once start-up and the first poll are "
                            "done, then exits."),
             QStringLiteral("FILE")),
         [](const QCommandLineParser& parser, const QCommandLineOption& option,
            AppOptions& options) {
             options.screenshotPath = parser.value(option);
             return QString();
         }},
    };
}

// Qt aborts where its window system finds no display; this tells it first, in one line. Only
// the platforms that need a display server are judged, and only when nothing names one.
QString missingDisplay(const QCommandLineParser& parser) {
    const QString platform = parser.isSet(QStringLiteral("platform"))
                                 ? parser.value(QStringLiteral("platform"))
                                 : qEnvironmentVariable("QT_QPA_PLATFORM");
    const bool needsServer = platform.isEmpty() || platform.startsWith(QLatin1String("xcb")) ||
                             platform.startsWith(QLatin1String("wayland"));
    if (!needsServer || parser.isSet(QStringLiteral("display")) ||
        !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        return {};
    return QStringLiteral(
        "no display to show the window on (DISPLAY and WAYLAND_DISPLAY are unset); "
        "--list-ports needs none, and -platform offscreen runs without one.");
}

QString helpText(const QCommandLineParser& parser, bool all) {
    QString text = parser.helpText();
    if (all)
        text += QStringLiteral(
            "\nQt's own options are taken as well, among them -platform NAME,\n"
            "-display NAME, -style NAME, -geometry WxH+X+Y and -reverse.\n");
    return text;
}

}  // namespace

ParsedCommandLine parseCommandLine(const QStringList& arguments) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Tests a serial port and the sensor wiring behind it.\n\n"
                       "Ports 1 to 16 reach the serial devices the system has (see "
                       "--list-ports), unless --port says otherwise. Simulated ports: ") +
        simulatedPortNames().join(QStringLiteral(", ")) + '.');
    // Qt's own options are single-dash words ("-platform offscreen").
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption helpAll(QStringLiteral("help-all"));
    parser.addVersionOption();
    acceptQtOwnOptions(parser);
    const std::vector<ProgramOption> options = programOptions();
    for (const ProgramOption& option : options)
        parser.addOption(option.option);
    addCheckOptions(parser);

    if (!parser.parse(arguments))
        return refused(parser.errorText());
    if (parser.isSet(help) || parser.isSet(helpAll))
        return answered(helpText(parser, parser.isSet(helpAll)));
    if (parser.isSet(QStringLiteral("version")))
        return answered(QCoreApplication::applicationName() + ' ' +
                        QCoreApplication::applicationVersion());
    if (!parser.positionalArguments().isEmpty())
        return refused(QStringLiteral("\"%1\" is not an option; options begin with --.")
                           .arg(parser.positionalArguments().first()));

    ParsedCommandLine result;
    for (const ProgramOption& option : options)
        if (const QString error = option.take(parser, option.option, result.options);
            !error.isEmpty())
            return refused(error);
    if (const QString error = readCheckOptions(parser, result.options.check); !error.isEmpty())
        return refused(error);
    result.options.missingDisplay = missingDisplay(parser);
    return result;
}

int printReply(const ParsedCommandLine& parsed) {
    const int code = parsed.exitCode.value_or(0);
    printLine(code == 0 ? stdout : stderr, parsed.reply);
    return code;
}

int refuseUsage(const QString& why) {
    printLine(stderr, usageRefusal(why));
    return kUsageExitCode;
}

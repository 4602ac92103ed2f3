#include "check_options.h"

#include <QCommandLineParser>

#include "port_numbers.h"

namespace {

constexpr int kMaxPasses = 20000;  // as many as the window's cycle runs

const QString kCheck = QStringLiteral("check");
const QString kPlug = QStringLiteral("plug");
const QString kCycles = QStringLiteral("cycles");
const QString kDelay = QStringLiteral("delay");
const QString kJson = QStringLiteral("json");
const QString kJUnit = QStringLiteral("junit");

std::optional<int> number(const QCommandLineParser& parser, const QString& option, int low,
                          int high) {
    bool ok = false;
    const int value = parser.value(option).toInt(&ok);
    if (!ok || value < low || value > high)
        return std::nullopt;
    return value;
}

}  // namespace

void addCheckOptions(QCommandLineParser& parser) {
    parser.addOptions({
        {kCheck,
         QStringLiteral("Checks port N and its plug without a window: the wiring check, DTR "
                        "and RTS with their followers, no line errors. Prints a table and "
                        "exits 0 when all pass, 1 when one fails, 2 when the check could not "
                        "run."),
         QStringLiteral("N")},
        {kPlug,
         QStringLiteral("The plug on the port for --check: ") +
             PlugProfile::described().join(QStringLiteral("; ")) +
             QStringLiteral("; or a wiring such as DTR=DSR,CD;RTS=CTS. Default: rig."),
         QStringLiteral("NAME|WIRING")},
        {kCycles, QStringLiteral("With --check, also runs the cycle K times and counts the edges."),
         QStringLiteral("K")},
        {kDelay, QStringLiteral("The pause after each pass of --cycles (default 30)."),
         QStringLiteral("MS")},
        {kJson, QStringLiteral("With --check, writes the report as JSON to FILE."),
         QStringLiteral("FILE")},
        {kJUnit, QStringLiteral("With --check, writes the report as JUnit XML to FILE."),
         QStringLiteral("FILE")},
    });
}

QString readCheckOptions(const QCommandLineParser& parser, CheckOptions& options) {
    if (!parser.isSet(kCheck)) {
        for (const QString& option : {kPlug, kCycles, kDelay, kJson, kJUnit})
            if (parser.isSet(option))
                return QStringLiteral("--%1 goes with --check N.").arg(option);
        return {};
    }
    const auto port = number(parser, kCheck, PortNumbers::kFirst, PortNumbers::kLast);
    if (!port)
        return QStringLiteral("--check: \"%1\" is not a port number from %2 to %3.")
            .arg(parser.value(kCheck))
            .arg(PortNumbers::kFirst)
            .arg(PortNumbers::kLast);
    options.port = static_cast<short>(*port);
    if (parser.isSet(kPlug)) {
        QString error;
        const auto plug = PlugProfile::parse(parser.value(kPlug), error);
        if (!plug)
            return QStringLiteral("--plug: ") + error;
        options.plug = *plug;
    }
    if (parser.isSet(kDelay) && !parser.isSet(kCycles))
        return QStringLiteral("--delay goes with --cycles K.");
    if (parser.isSet(kCycles)) {
        const auto passes = number(parser, kCycles, 1, kMaxPasses);
        if (!passes)
            return QStringLiteral("--cycles: give a count from 1 to %1.").arg(kMaxPasses);
        options.cycles.passes = *passes;
    }
    if (parser.isSet(kDelay)) {
        const auto delay = number(parser, kDelay, 0, 60'000);
        if (!delay)
            return QStringLiteral("--delay: give milliseconds from 0 to 60000.");
        options.cycles.delayMs = *delay;
    }
    options.jsonPath = parser.value(kJson);
    options.junitPath = parser.value(kJUnit);
    return {};
}

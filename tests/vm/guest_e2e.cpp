// The tester end to end on a real UART driver: the main window and the tester logic drive the
// test guest's ttyS1, a 16550A under Linux's 8250 driver, through the system device. The
// guest's /init switches the UART's internal loopback on or off before each mode runs.
//
//   quillmark_vm_guest_e2e loopback         the looped-back port: start-up, toggles, cycle,
//                                           second instances, latencies, a break from the host
//   quillmark_vm_guest_e2e no-loopback      a port with nothing attached
//   quillmark_vm_guest_e2e second-instance  (started by "loopback") a second Quillmark as an
//                                           ordinary user while the first holds port 1
//
// Prints one PASS or FAIL line per check; exits 0 when every check passed.
#include <termios.h>
#include <unistd.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <cstdio>

#include "guest_guard.h"
#include "guest_support.h"
#include "lamp_colours.h"
#include "serial_port_control.h"

namespace {

const QString kUart = QStringLiteral("/dev/ttyS1");
const QString kCtsLine = QStringLiteral("3 - Change in Clear To Send line.");
const QString kDsrLine = QStringLiteral(
    "4 - Change in Data Set Ready line. This event is only fired when DSR changes from 1 to 0.");
const QString kBreakLine = QStringLiteral("1001 - A Break signal was received.");
const QString kAlreadyOpen =
    QStringLiteral("Com 1 is already open.\r\nPlease select a different port");
constexpr uid_t kNobody = 65534;

// Lets the line events of the last change arrive, then empties the status list.
void settleAndClear(Quillmark& q) {
    pumpFor(150);
    q.tester.cmdClearStatus_Click();
}

QString lampName(int colour) {
    switch (colour) {
        case LampColours::Green:
            return "green";
        case LampColours::Red:
            return "red";
        case LampColours::Idle:
            return "idle";
        default:
            return QString::number(colour);
    }
}

bool lampIs(Report& r, int actual, int expected, const QString& what) {
    return r.check(actual == expected, what,
                   "is " + lampName(actual) + ", expected " + lampName(expected));
}

// The descriptor through which this process holds the UART. Opening the tty once more would
// not do: every open raises DTR and RTS, behind the holder's back.
int heldUartDescriptor() {
    QDir fds("/proc/self/fd");
    for (const QString& name :
         fds.entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::System)) {
        if (QFile::symLinkTarget(fds.filePath(name)) == kUart)
            return name.toInt();
    }
    return -1;
}

// The line settings the driver holds for the tester's open port.
QString driverLineSettings() {
    const int fd = heldUartDescriptor();
    termios t{};
    if (fd < 0 || ::tcgetattr(fd, &t) != 0)
        return "no descriptor of the port found";
    const speed_t speed = ::cfgetospeed(&t);
    const char parity = !(t.c_cflag & PARENB) ? 'n' : (t.c_cflag & PARODD) ? 'o' : 'e';
    const int bits = (t.c_cflag & CSIZE) == CS8 ? 8 : (t.c_cflag & CSIZE) == CS7 ? 7 : 0;
    return QStringLiteral("%1,%2,%3,%4")
        .arg(speed == B9600 ? "9600" : QString("speed code %1").arg(speed))
        .arg(parity)
        .arg(bits)
        .arg(t.c_cflag & CSTOPB ? 2 : 1);
}

// In the loopback the inputs mirror the outputs: CTS is RTS and DSR is DTR.
bool linesAsDriven(Quillmark& q) {
    SerialPortControl& port = q.window.comPort();
    return port.CTSHolding() == port.RTSEnable() && port.DSRHolding() == port.DTREnable();
}

QString lineLevels(Quillmark& q) {
    SerialPortControl& port = q.window.comPort();
    return QStringLiteral("RTS %1 CTS %2, DTR %3 DSR %4")
        .arg(port.RTSEnable())
        .arg(port.CTSHolding())
        .arg(port.DTREnable())
        .arg(port.DSRHolding());
}

// Clicks a toggle and times it until the expected line stands at the top of the status list.
bool timeToggle(Quillmark& q, void (Tester::*click)(), const QString& line, Latency& latency) {
    q.tester.cmdClearStatus_Click();
    QElapsedTimer clock;
    clock.start();
    (q.tester.*click)();
    const bool logged = pumpUntil([&] { return q.topLine() == line; }, 3000);
    if (logged)
        latency.samples.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
    return logged;
}

void checkStartUp(Report& r, Quillmark& q) {
    q.window.load();
    r.check(q.window.comPort().PortOpen() && q.window.comPort().CommPort() == 1,
            "port 1 (mapped to /dev/ttyS1) opens at start-up");
    r.check(q.messages.prompts.isEmpty(), "start-up shows no message",
            q.messages.prompts.join(" | "));
    const QString settings = driverLineSettings();
    r.check(settings == "9600,n,8,1", "the driver holds 9600 8N1", settings);
    lampIs(r, q.lamp(LineIndex::Wiring), LampColours::Green, "wiring lamp green on the loopback");
    lampIs(r, q.window.shpDTR().BackColor(), LampColours::Red, "DTR lamp red (DTR on)");
    lampIs(r, q.window.shpRTS().BackColor(), LampColours::Green, "RTS lamp green (RTS off)");
    lampIs(r, q.lamp(LineIndex::Dsr), LampColours::Red, "DSR lamp red (DSR follows DTR)");
    lampIs(r, q.lamp(LineIndex::Cts), LampColours::Green, "CTS lamp green (CTS follows RTS)");
    lampIs(r, q.lamp(LineIndex::Cd), LampColours::Red, "CD lamp red (CD follows OUT2)");

    const bool polled = pumpUntil([&] { return !q.window.txtStatus().Text().isEmpty(); }, 2500);
    r.check(polled, "the status poll ticks and shows the last event code", "txtStatus still empty");
    lampIs(r, q.lamp(LineIndex::Wiring), LampColours::Green,
           "wiring lamp still green after a poll");
    // The kernel raises DTR and RTS on every open; the lines the tester then sets must not
    // come out as events of their own.
    r.check(q.log().isEmpty(), "start-up logs no port event", q.state());
}

void checkToggles(Report& r, Quillmark& q, Latency& cts, Latency& dsr) {
    settleAndClear(q);
    r.check(timeToggle(q, &Tester::cmdToggleRTS_Click, kCtsLine, cts),
            "RTS toggle logs \"" + kCtsLine + "\"", q.state());
    lampIs(r, q.lamp(LineIndex::Cts), LampColours::Red, "CTS lamp red after RTS on");
    lampIs(r, q.window.shpRTS().BackColor(), LampColours::Red, "RTS lamp red after RTS on");

    settleAndClear(q);
    r.check(timeToggle(q, &Tester::cmdToggleDTR_Click, kDsrLine, dsr),
            "DTR toggle to off logs \"" + kDsrLine + "\"", q.state());
    lampIs(r, q.lamp(LineIndex::Dsr), LampColours::Green, "DSR lamp green after DTR off");
    lampIs(r, q.window.shpDTR().BackColor(), LampColours::Green, "DTR lamp green after DTR off");

    settleAndClear(q);
    q.tester.cmdToggleDTR_Click();
    pumpFor(200);
    r.check(q.log().isEmpty(), "DTR back on (DSR rising) logs nothing", q.log().join(" | "));
}

void measureLatencies(Report& r, Quillmark& q, Latency& cts, Latency& dsr) {
    constexpr int kRounds = 8;
    int missed = 0;
    for (int i = 0; i < kRounds; ++i) {
        // DTR on, then off: only the fall is an event.
        if (!q.window.comPort().DTREnable())
            q.tester.cmdToggleDTR_Click();
        pumpFor(30);
        if (!timeToggle(q, &Tester::cmdToggleDTR_Click, kDsrLine, dsr))
            ++missed;
        pumpFor(30);
        if (!timeToggle(q, &Tester::cmdToggleRTS_Click, kCtsLine, cts))
            ++missed;
    }
    r.check(missed == 0, "every timed toggle was logged", QString("%1 missed").arg(missed));
    r.note("latency DTR toggle -> logged DSR event: " + dsr.summary("toggles"));
    r.note("latency RTS toggle -> logged CTS event: " + cts.summary("toggles"));
}

void checkCycle(Report& r, Quillmark& q) {
    constexpr int kPasses = 10;
    settleAndClear(q);
    const bool rts = q.window.comPort().RTSEnable();
    const bool dtr = q.window.comPort().DTREnable();
    const int countBefore = q.window.txtCount().Text().toInt();
    q.window.txtLoop().setText(QString::number(kPasses));
    q.window.txtDelay().setText("30");

    QElapsedTimer clock;
    clock.start();
    q.tester.cmdCycle_Click();
    const qint64 runMs = clock.elapsed();
    // Every pass flips CTS through RTS; DSR falls on every other pass.
    const int expected = kPasses + kPasses / 2;
    pumpUntil([&] { return q.log().size() >= expected; }, 2000);
    pumpFor(200);  // anything beyond the expected lines
    const QStringList log = q.log();
    const auto ctsLines = log.count(kCtsLine);
    const auto dsrLines = log.count(kDsrLine);
    r.check(log.size() == expected && ctsLines == kPasses && dsrLines == kPasses / 2,
            QString("cycle of %1 passes logs %2 lines (%3 CTS, %4 DSR)")
                .arg(kPasses)
                .arg(expected)
                .arg(kPasses)
                .arg(kPasses / 2),
            QString("%1 lines: %2 CTS, %3 DSR, %4 other")
                .arg(log.size())
                .arg(ctsLines)
                .arg(dsrLines)
                .arg(log.size() - ctsLines - dsrLines));
    r.check(q.window.txtCount().Text().toInt() == countBefore + expected,
            "interrupt count rises by the number of logged lines",
            QString("from %1 to %2").arg(countBefore).arg(q.window.txtCount().Text()));
    r.check(q.window.comPort().RTSEnable() == rts && q.window.comPort().DTREnable() == dtr,
            "RTS and DTR end as they started after an even count");
    r.note(QString("cycle of %1 passes took %2 ms").arg(kPasses).arg(runMs));
}

// Writes the control's own settings to the lines again, after something else moved them.
void redriveLines(Quillmark& q) {
    SerialPortControl& port = q.window.comPort();
    port.setRTSEnable(port.RTSEnable());
    port.setDTREnable(port.DTREnable());
    settleAndClear(q);
}

void checkSecondInstances(Report& r, Quillmark& first) {
    // Both lines off, so that an opener that raises either shows.
    first.window.comPort().setRTSEnable(false);
    first.window.comPort().setDTREnable(false);
    settleAndClear(first);
    r.check(linesAsDriven(first), "before a second opener: CTS and DSR as RTS and DTR drive them",
            lineLevels(first));
    {
        Quillmark second(kUart);
        second.window.load();
        r.check(second.messages.prompts == QStringList{kAlreadyOpen},
                "a second window in this process (root) is told \"Com 1 is already open.\"",
                second.messages.prompts.join(" | ").replace("\r\n", "\\r\\n"));
        r.check(!second.window.comPort().PortOpen(), "the second window has no port open");
        lampIs(r, second.lamp(LineIndex::Wiring), LampColours::Idle,
               "the second window's wiring lamp is idle");
    }
    r.check(linesAsDriven(first), "the refused second window leaves the first's RTS and DTR alone",
            lineLevels(first));

    redriveLines(first);
    QProcess other;
    other.setProcessChannelMode(QProcess::ForwardedChannels);
    other.start(QCoreApplication::applicationFilePath(), {"second-instance"});
    const bool finished = other.waitForFinished(30000);
    r.check(finished && other.exitStatus() == QProcess::NormalExit && other.exitCode() == 0,
            "a second Quillmark process (non-root) is refused port 1",
            finished ? QString("exit code %1").arg(other.exitCode()) : QString("did not finish"));
    r.check(linesAsDriven(first), "the refused second process leaves the first's RTS and DTR alone",
            lineLevels(first));

    settleAndClear(first);
    first.tester.cmdToggleRTS_Click();
    r.check(pumpUntil([&] { return first.topLine() == kCtsLine; }, 3000),
            "the first Quillmark keeps its port after the refused openings");
}

void checkBreak(Report& r, Quillmark& q) {
    bool seen = false;
    for (int attempt = 1; attempt <= 3 && !seen; ++attempt) {
        settleAndClear(q);
        // The host watches the console for this line and sends a break into ttyS1.
        std::printf("READY-FOR-BREAK %d\n", attempt);
        std::fflush(stdout);
        seen = pumpUntil([&] { return q.log().contains(kBreakLine); }, 5000);
    }
    r.check(seen, "a break from the host logs \"" + kBreakLine + "\"", q.log().join(" | "));
}

int runLoopback() {
    Report r("loopback");
    Quillmark q(kUart);
    Latency cts, dsr;
    checkStartUp(r, q);
    checkToggles(r, q, cts, dsr);
    measureLatencies(r, q, cts, dsr);
    checkCycle(r, q);
    checkSecondInstances(r, q);
    checkBreak(r, q);
    return r.finish();
}

int runNoLoopback() {
    Report r("no-loopback");
    Quillmark q(kUart);
    q.window.load();
    r.check(q.window.comPort().PortOpen(), "port 1 opens without a loopback");
    r.check(q.messages.prompts.isEmpty(), "no message", q.messages.prompts.join(" | "));
    lampIs(r, q.lamp(LineIndex::Wiring), LampColours::Red, "wiring lamp red without a loopback");
    const bool polled = pumpUntil([&] { return !q.window.txtStatus().Text().isEmpty(); }, 2500);
    r.check(polled, "the status poll ticks");
    lampIs(r, q.lamp(LineIndex::Wiring), LampColours::Red, "wiring lamp still red after a poll");
    return r.finish();
}

int runSecondInstance() {
    Report r("second-instance");
    Quillmark q(kUart);
    q.window.load();
    r.check(q.messages.prompts == QStringList{kAlreadyOpen},
            "the non-root second Quillmark is told \"Com 1 is already open.\"",
            q.messages.prompts.join(" | ").replace("\r\n", "\\r\\n"));
    bool idle = true;
    for (int i = 0; i <= LineIndex::Wiring; ++i)
        idle = idle && q.lamp(i) == LampColours::Idle;
    r.check(idle, "its four lamps are idle");
    r.check(!q.window.comPort().PortOpen(), "it has no port open");
    return r.finish();
}

}  // namespace

int main(int argc, char** argv) {
    if (refuseOutsideTestGuest("quillmark_vm_guest_e2e (it drives /dev/ttyS1)"))
        return 3;
    const QString mode = argc > 1 ? QString(argv[1]) : QString();
    if (mode == "second-instance") {
        if (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0) {
            std::perror("dropping to an ordinary user");
            return 1;
        }
        qputenv("XDG_RUNTIME_DIR", "/tmp/runtime-nobody");
    }
    QApplication app(argc, argv);
    if (mode == "loopback")
        return runLoopback();
    if (mode == "no-loopback")
        return runNoLoopback();
    if (mode == "second-instance")
        return runSecondInstance();
    std::fprintf(stderr, "usage: quillmark_vm_guest_e2e loopback|no-loopback|second-instance\n");
    return 2;
}

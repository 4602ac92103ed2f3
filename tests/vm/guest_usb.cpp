// The tester end to end on a real USB serial driver: QEMU's FTDI adapter on its xHCI
// controller under the kernel's own usbserial and ftdi_sio, numbered from sysfs as on a
// laptop. The host end of the adapter's line echoes. A line "USB-<what>" on standard output
// asks the host to act through QEMU's monitor: UNPLUG the adapter, PLUG it (or one with
// another serial number) into the same socket, or send a BREAK into its line.
//
// Prints one PASS or FAIL line per check; exits 0 when every check passed.
#include <unistd.h>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <cstdio>

#include "comm_event.h"
#include "guest_guard.h"
#include "guest_support.h"
#include "lamp_colours.h"
#include "port_map.h"
#include "system_device.h"

namespace {

const QString kAdapter = QStringLiteral("/dev/ttyUSB0");
// The guest's console UART, ttyS0, keeps number 1 to itself; the adapter takes the next.
constexpr short kPort = 2;

void askHost(const char* what) {
    std::printf("USB-%s\n", what);
    std::fflush(stdout);
}

QString adapterAttribute(const char* name) {
    QFile file(QStringLiteral("/sys/class/tty/ttyUSB0/device/") + name);
    return file.open(QIODevice::ReadOnly) ? QString::fromLatin1(file.readAll()).trimmed() : "";
}

// The serial number of the adapter now in the socket, as sysfs shows it; empty for none.
QString serialInSocket() {
    QFile file(QDir("/sys/class/tty/ttyUSB0/device/../..").canonicalPath() + "/serial");
    return file.open(QIODevice::ReadOnly) ? QString::fromLatin1(file.readAll()).trimmed() : "";
}

QComboBox& portBox(Quillmark& q) {
    return *q.window.findChild<QComboBox*>("Combo1");
}

bool openOnAdaptersPort(Quillmark& q) {
    return q.window.comPort().PortOpen() && q.window.comPort().CommPort() == kPort;
}

bool wiringPassed(Quillmark& q) {
    return q.lamp(LineIndex::Wiring) == LampColours::Green;
}

void checkOpen(Report& r, Quillmark& q, const QString& serial) {
    const QString before = adapterAttribute("latency_timer");
    portBox(q).setCurrentIndex(kPort - 1);
    q.window.load();
    r.check(openOnAdaptersPort(q), "the adapter is port 2 and opens at start-up", q.state());
    const QString tip = portBox(q).toolTip();
    r.check(tip.startsWith(kAdapter + ", QEMU USB SERIAL, serial " + serial + " (driver ftdi_sio"),
            "the port box names the device, its maker, product and serial number and the driver",
            tip);
    r.check(wiringPassed(q), "\"Loopback\" echoes through ftdi_sio: the wiring lamp is green");
    const QString said = portFidelityWords(q.window.comPort().Fidelity());
    const QString expected =
        "DSR, CTS, CD, RI: every change the driver reports (every 1 ms), pulses between its "
        "reports may merge";
    r.check(said == expected, "the port is said to see \"" + expected + '"', "said: " + said);
    const QString during = adapterAttribute("latency_timer");
    q.window.comPort().setPortOpen(false);
    const QString after = adapterAttribute("latency_timer");
    r.check(during == "1" && after == before && before != "1",
            "latency_timer reads 1 while open and its old value after close",
            QString("%1, then %2, then %3").arg(before, during, after));
    q.tester.Combo1_Click();
    r.check(openOnAdaptersPort(q), "choosing port 2 opens it again", q.state());
}

// QEMU sends a break as a packet of status alone.
void noteBreak(Report& r, Quillmark& q) {
    q.tester.cmdClearStatus_Click();
    const int before = q.count();
    askHost("BREAK");
    const bool seen = pumpUntil([&] { return q.count() > before; }, 2000);
    r.note(seen ? "a break sent into the adapter's line logs: " + q.topLine()
                : QString("a break sent into the adapter's line logs nothing: ftdi_sio takes "
                          "errors and breaks only from packets that carry data"));
}

void checkUnplug(Report& r, Quillmark& q) {
    q.messages.prompts.clear();
    askHost("UNPLUG");
    const bool closed = pumpUntil(
        [&] { return !q.window.comPort().PortOpen() && !q.messages.prompts.isEmpty(); }, 10000);
    r.check(closed, "unplugged while open: the port closes and the user is told", q.state());
    // The status poll looks for the adapter in sysfs once a second meanwhile, which under
    // emulation costs a few clock ticks; a watcher that kept trying the lost device would
    // take the whole CPU.
    const long looksBefore = cpuTicks();
    for (int i = 0; i < 10; ++i)
        q.window.comPort().PortPresent(kPort);
    const long tenLooks = cpuTicks() - looksBefore;
    constexpr int kIdleMs = 5000;
    const long ticksBefore = cpuTicks();
    idleFor(kIdleMs);
    const long used = cpuTicks() - ticksBefore;
    const long allowed = sysconf(_SC_CLK_TCK) * kIdleMs / 1000 / 10;  // 10 %
    r.note(QString("CPU while the adapter is away: %1 clock ticks in %2 s; ten looks for it "
                   "take %3")
               .arg(used)
               .arg(kIdleMs / 1000)
               .arg(tenLooks));
    r.check(looksBefore >= 0 && used <= allowed && q.messages.prompts.size() == 1,
            "told once, then idle while the adapter is away",
            QString("%1 clock ticks of CPU (at most %2), %3 messages")
                .arg(used)
                .arg(allowed)
                .arg(q.messages.prompts.size()));
}

void checkReplug(Report& r, Quillmark& q) {
    askHost("PLUG same");
    const bool back = pumpUntil([&] { return openOnAdaptersPort(q); }, 20000);
    r.check(back && q.messages.prompts.size() == 1,
            "plugged in again: reopened on port 2 by itself, without a second message", q.state());
    pumpUntil([&] { return wiringPassed(q); }, 3000);
    r.check(wiringPassed(q), "the reopened adapter echoes \"Loopback\"");
    r.check(portBox(q).toolTip().contains("back since"), "the port box says since when it is back",
            portBox(q).toolTip());
}

void checkOtherAdapter(Report& r, Quillmark& q, const DeviceOpener& ports, const QString& other) {
    askHost("UNPLUG");
    pumpUntil([&] { return !q.window.comPort().PortOpen(); }, 10000);
    pumpFor(1500);  // a status poll sees it gone
    askHost("PLUG other");
    const bool plugged = pumpUntil([&] { return serialInSocket() == other; }, 20000);
    pumpFor(3000);  // three status polls
    r.check(plugged && !q.window.comPort().PortOpen(),
            "another adapter in the same socket is not reopened on port 2", q.state());
    // As the port box's entries say.
    const QStringList reached = ports.describe(kPort, kPort + 1);
    const QString kept = reached.value(0), next = reached.value(1);
    r.check(kept.contains("which is away") && next.contains("serial " + other),
            "port 2 stays kept for the away adapter; the other one takes port 3",
            "port 2: " + kept + "; port 3: " + next);
}

}  // namespace

int main(int argc, char** argv) {
    if (refuseOutsideTestGuest("quillmark_vm_guest_usb (it drives the guest's USB adapter)"))
        return 3;
    QApplication app(argc, argv);
    Report r("usb");
    const QString serial = qEnvironmentVariable("quillmark_usb_serial");
    const QString other = qEnvironmentVariable("quillmark_usb_other_serial");
    const bool found = pumpUntil([] { return QFile::exists(kAdapter); }, 20000);
    if (!r.check(found && serialInSocket() == serial,
                 "the adapter appears as " + kAdapter + " with serial number " + serial,
                 "serial " + serialInSocket()))
        return r.finish();
    const auto ports =
        std::make_shared<MappedDeviceOpener>(PortMap{}, std::make_shared<SystemSerialPorts>());
    Quillmark q(ports);
    checkOpen(r, q, serial);
    noteBreak(r, q);
    checkUnplug(r, q);
    checkReplug(r, q);
    checkOtherAdapter(r, q, *ports, other);
    return r.finish();
}

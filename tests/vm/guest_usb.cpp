// The tester end to end on QEMU's FTDI adapter under the kernel's own ftdi_sio, numbered from
// sysfs. The host end of its line echoes; a line "USB-<what>" asks the host to UNPLUG it, PLUG
// it (or one with another serial number) into the same socket, or send a BREAK into its line.
//
// Prints one PASS or FAIL line per check; exits 0 when every check passed.
#include <unistd.h>

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <cstdio>

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

QString latencyTimer() {
    QFile file("/sys/class/tty/ttyUSB0/device/latency_timer");
    return file.open(QIODevice::ReadOnly) ? QString::fromLatin1(file.readAll()).trimmed() : "";
}

QComboBox& portBox(Quillmark& q) {
    return *q.window.findChild<QComboBox*>("Combo1");
}

bool openOnItsPort(Quillmark& q) {
    return q.window.comPort().PortOpen() && q.window.comPort().CommPort() == kPort;
}

bool wiringPassed(Quillmark& q) {
    return q.lamp(LineIndex::Wiring) == LampColours::Green;
}

void checkOpen(Report& r, Quillmark& q, const QString& serial) {
    const QString before = latencyTimer();
    portBox(q).setCurrentIndex(kPort - 1);
    q.window.load();
    r.check(openOnItsPort(q), "the adapter is port 2 and opens at start-up", q.state());
    const QString tip = portBox(q).toolTip();
    r.check(tip.startsWith(kAdapter + ", QEMU USB SERIAL, serial " + serial + " (driver ftdi_sio"),
            "the port box names the device, its maker, product, serial number and driver", tip);
    r.check(wiringPassed(q), "\"Loopback\" echoes through ftdi_sio: the wiring lamp is green");
    const QString said = portFidelityWords(q.window.comPort().Fidelity());
    r.check(said.startsWith("DSR, CTS, CD, RI: every change the driver reports (every 1 ms)"),
            "the port is said to see every change the driver reports every 1 ms", said);
    const QString during = latencyTimer();
    q.window.comPort().setPortOpen(false);
    r.check(during == "1" && latencyTimer() == before && before != "1",
            "latency_timer reads 1 while open and its old value after close",
            QString("%1, then %2, then %3").arg(before, during, latencyTimer()));
    q.tester.Combo1_Click();
    r.check(openOnItsPort(q), "choosing port 2 opens it again", q.state());
}

// QEMU sends a break as a packet of status alone.
void noteBreak(Report& r, Quillmark& q) {
    const int before = q.count();
    askHost("BREAK");
    r.note(pumpUntil([&] { return q.count() > before; }, 2000)
               ? "a break sent into the adapter's line logs: " + q.topLine()
               : "a break sent into the adapter's line logs nothing: ftdi_sio takes errors and "
                 "breaks only from packets that carry data");
}

void checkUnplug(Report& r, Quillmark& q) {
    q.messages.prompts.clear();
    askHost("UNPLUG");
    r.check(
        pumpUntil([&] { return !q.window.comPort().PortOpen() && !q.messages.prompts.isEmpty(); },
                  10000),
        "unplugged while open: the port closes and the user is told", q.state());
    // The status poll looks for the adapter in sysfs once a second meanwhile, a few clock
    // ticks under emulation; a watcher that kept trying the lost device would take the CPU.
    constexpr int kIdleMs = 5000;
    const long ticksBefore = cpuTicks();
    idleFor(kIdleMs);
    const long used = cpuTicks() - ticksBefore;
    const long allowed = sysconf(_SC_CLK_TCK) * kIdleMs / 1000 / 10;  // 10 %
    r.note(QString("CPU while the adapter is away: %1 clock ticks in 5 s").arg(used));
    r.check(ticksBefore >= 0 && used <= allowed && q.messages.prompts.size() == 1,
            "told once, then idle while the adapter is away", q.state());
}

void checkReplug(Report& r, Quillmark& q) {
    askHost("PLUG same");
    const bool back = pumpUntil([&] { return openOnItsPort(q); }, 20000);
    r.check(back && q.messages.prompts.size() == 1,
            "plugged in again: reopened on port 2 by itself, without a second message", q.state());
    r.check(pumpUntil([&] { return wiringPassed(q); }, 3000),
            "the reopened adapter echoes \"Loopback\"");
    r.check(portBox(q).toolTip().contains("back since"), "the port box says since when it is back",
            portBox(q).toolTip());
}

void checkOtherAdapter(Report& r, Quillmark& q, const DeviceOpener& ports, const QString& other) {
    askHost("UNPLUG");
    pumpUntil([&] { return !q.window.comPort().PortOpen() && !QFile::exists(kAdapter); }, 10000);
    pumpFor(1500);  // a status poll sees it gone
    askHost("PLUG other");
    const bool plugged = pumpUntil([&] { return QFile::exists(kAdapter); }, 20000);
    pumpFor(3000);  // three status polls
    // As the port box's entries say.
    const QStringList reached = ports.describe(kPort, kPort + 1);
    r.check(plugged && !q.window.comPort().PortOpen() &&
                reached.value(0).contains("which is away") &&
                reached.value(1).contains("serial " + other),
            "another adapter in the same socket is not opened on port 2, kept for the away one; "
            "it takes port 3",
            reached.join(" | "));
}

}  // namespace

int main(int argc, char** argv) {
    if (refuseOutsideTestGuest("quillmark_vm_guest_usb (it drives the guest's USB adapter)"))
        return 3;
    QApplication app(argc, argv);
    Report r("usb");
    if (!r.check(pumpUntil([] { return QFile::exists(kAdapter); }, 20000),
                 "the adapter appears as " + kAdapter))
        return r.finish();
    const auto ports =
        std::make_shared<MappedDeviceOpener>(PortMap{}, std::make_shared<SystemSerialPorts>());
    Quillmark q(ports);
    checkOpen(r, q, qEnvironmentVariable("quillmark_usb_serial"));
    noteBreak(r, q);
    checkUnplug(r, q);
    checkReplug(r, q);
    checkOtherAdapter(r, q, *ports, qEnvironmentVariable("quillmark_usb_other_serial"));
    return r.finish();
}

// Passes per second of a cycle run with no pause on the simulated loopback rig, and what
// the lamps and the status log add to each pass: the same run with the full window and its
// event log, with the window but no event handling, and with no window at all.

#include <QApplication>
#include <cstdio>

#include "bench_support.h"
#include "fake_view.h"
#include "main_window.h"
#include "port_map.h"
#include "qt_platform.h"
#include "serial_port_control.h"
#include "simulated_port.h"
#include "tester.h"

namespace {

constexpr int kPasses = 20000;

std::shared_ptr<MappedDeviceOpener> simulatedPortOne() {
    PortMap map;
    map.map(1, std::make_shared<SimulatedPort>());
    return std::make_shared<MappedDeviceOpener>(map);
}

double timeCycle(Tester& tester, TextElement& loop, TextElement& delay) {
    loop.setText(QString::number(kPasses));
    delay.setText(QStringLiteral("0"));
    const auto start = std::chrono::steady_clock::now();
    tester.cmdCycle_Click();
    return bench::secondsSince(start);
}

double runInWindow(bool handleEvents) {
    MainWindow window(simulatedPortOne(), nullptr);
    QtPlatform platform;
    Tester tester(window, window.comPort(), platform);
    window.show();
    tester.Form_Load();
    if (handleEvents)
        window.setEvents(&tester);
    QApplication::processEvents();
    const double seconds = timeCycle(tester, window.txtLoop(), window.txtDelay());
    if (handleEvents)
        std::printf("  (log: %d lines, counter %s)\n", window.lstStatus().ListCount(),
                    qPrintable(window.txtCount().Text()));
    window.setEvents(nullptr);
    return seconds;
}

double runBare() {
    FakeView view;  // elements that hold their values and draw nothing
    SerialPortControl port(simulatedPortOne());
    QtPlatform platform;
    Tester tester(view, port, platform);
    tester.Form_Load();
    return timeCycle(tester, view.loop, view.delay);
}

void print(const char* what, double seconds) {
    std::printf("%-44s %6.2f s  %8.0f passes/s  %6.1f us/pass\n", what, seconds, kPasses / seconds,
                seconds / kPasses * 1e6);
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    std::printf("cycle run of %d passes, delay 0, simulated loopback rig\n", kPasses);
    const double full = runInWindow(true);
    const double lampsOnly = runInWindow(false);
    const double bare = runBare();
    print("window, lamps and event log:", full);
    print("window and lamps, events not handled:", lampsOnly);
    print("no window (plain elements), events not handled:", bare);
    std::printf(
        "cost per pass: event log (3 events, lines, lamps, count) %.1f us, "
        "output lamps %.1f us\n",
        (full - lampsOnly) / kPasses * 1e6, (lampsOnly - bare) / kPasses * 1e6);
    std::printf("peak memory: %ld kB\n", bench::statusKb("VmHWM"));
    return 0;
}

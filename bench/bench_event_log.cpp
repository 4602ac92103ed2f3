// Port events handled end to end on the offscreen platform: from the simulated device's
// edge to the line in the status list, the five lamps and the counter, with the list full
// (2001 lines), over a long storm. Prints events per second and memory along the way, and
// first what the full list alone costs per line.

#include <QApplication>
#include <QElapsedTimer>
#include <atomic>
#include <cstdio>
#include <thread>

#include "bench_support.h"
#include "fake_view.h"
#include "main_window.h"
#include "port_map.h"
#include "qt_platform.h"
#include "serial_port_control.h"
#include "simulated_port.h"
#include "tester.h"

namespace {

// The list alone: a line in at the top and one out at the bottom, as each logged event of a
// long storm does, repainting now and then.
void timeFullList(ListElement& list) {
    constexpr int kLines = 5000;
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < kLines; ++i) {
        list.RemoveItem(list.ListCount() - 1);
        list.AddItemAtTop(QStringLiteral("%1 - more").arg(i));
        if (i % 100 == 0)
            QApplication::processEvents();
    }
    QApplication::processEvents();
    std::printf("status list alone: %d lines through a full list (%d lines) in %lld ms\n", kLines,
                list.ListCount(), clock.elapsed());
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int events = argc > 1 ? std::atoi(argv[1]) : 100000;

    auto port = std::make_shared<SimulatedPort>();
    PortMap map;
    map.map(1, port);
    MainWindow window(std::make_shared<MappedDeviceOpener>(map), nullptr);
    QtPlatform platform;
    Tester tester(window, window.comPort(), platform);
    ScriptedMessages boxes;  // the benchmark expects no box; one would stop it
    window.setMessages(&boxes);
    window.setEvents(&tester);
    window.show();
    window.load();
    app.processEvents();

    for (int i = window.lstStatus().ListCount(); i < 2001; ++i)
        window.lstStatus().AddItemAtTop(QStringLiteral("filler %1").arg(i));
    window.txtCount().setText(QStringLiteral("0"));
    app.processEvents();
    timeFullList(window.lstStatus());
    const long rssBefore = bench::statusKb("VmRSS");

    int handled = 0;
    QObject::connect(&window.comPort(), &SerialPortControl::OnComm, [&] { ++handled; });

    const auto start = std::chrono::steady_clock::now();
    std::thread rig([&] {
        for (int i = 0; i < events; ++i)
            port->driveInput(SimulatedPort::InputLine::Cts, i % 2 == 0);
    });
    int nextReport = events / 4;
    while (handled < events) {
        app.processEvents(QEventLoop::AllEvents, 50);
        if (handled >= nextReport) {
            std::printf("  after %6d events: list %d lines, RSS %ld kB\n", handled,
                        window.lstStatus().ListCount(), bench::statusKb("VmRSS"));
            nextReport += events / 4;
        }
    }
    const double seconds = bench::secondsSince(start);
    rig.join();

    std::printf("events handled end to end: %d in %.2f s = %.0f events/s\n", handled, seconds,
                handled / seconds);
    std::printf("list lines: %d, counter: %s, boxes: %d, events lost: %llu\n",
                window.lstStatus().ListCount(), qPrintable(window.txtCount().Text()),
                static_cast<int>(boxes.shown.size()),
                static_cast<unsigned long long>(window.comPort().LostEvents()));
    std::printf("memory: RSS before %ld kB, after %ld kB, peak %ld kB\n", rssBefore,
                bench::statusKb("VmRSS"), bench::statusKb("VmHWM"));
    window.setEvents(nullptr);
    return 0;
}

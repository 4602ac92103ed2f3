// Measures how the serial port control copes with line-event storms on the simulated port:
// delivery rate without loss, delivery latency, and memory held by a burst that the
// user-interface thread cannot take yet. The simulator hands each event over at once, on the
// thread that raised it, so the latency here is the control's delivery alone; how fast a real
// driver's edge is detected is measured in the guest test (tests/vm, the rig's latency check).

#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

#include "bench_support.h"
#include "comm_event.h"
#include "port_map.h"
#include "serial_port_control.h"
#include "simulated_port.h"

namespace {

using Clock = std::chrono::steady_clock;
using Line = SimulatedPort::InputLine;

qint64 nowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch())
        .count();
}

// Lets VmHWM start again from the present size.
bool resetPeakMemory() {
    QFile clearRefs("/proc/self/clear_refs");
    return clearRefs.open(QIODevice::WriteOnly) && clearRefs.write("5") == 1;
}

struct Rig {
    std::shared_ptr<SimulatedPort> port = std::make_shared<SimulatedPort>();
    SerialPortControl control{[this] {
        PortMap map;
        map.map(1, port);
        return std::make_shared<MappedDeviceOpener>(map);
    }()};

    Rig() {
        control.setCommPort(1);
        control.setPortOpen(true);
    }

    void toggleCts(long edges) {
        for (long i = 0; i < edges; ++i)
            port->driveInput(Line::Cts, i % 2 == 0);
    }
};

// Runs the event loop until the handler has seen `expected` notifications.
void deliverUntil(SerialPortControl& control, const long& seen, long expected) {
    QEventLoop loop;
    QObject::connect(&control, &SerialPortControl::OnComm, &loop, [&] {
        if (seen >= expected)
            loop.quit();
    });
    if (seen < expected)
        loop.exec();
}

bool measureBurstMemory(long edges) {
    Rig rig;
    long seen = 0;
    QObject::connect(&rig.control, &SerialPortControl::OnComm, [&] { ++seen; });
    QCoreApplication::processEvents();
    const bool peakReset = resetPeakMemory();
    const long idleKb = bench::statusKb("VmRSS");

    std::thread producer([&] { rig.toggleCts(edges); });
    producer.join();  // the user-interface thread is blocked meanwhile
    const long blockedKb = bench::statusKb("VmRSS");
    const std::size_t pending = rig.control.PendingEvents();
    deliverUntil(rig.control, seen, edges);
    const long peakKb = bench::statusKb("VmHWM");

    std::printf("Burst of %ld edges with the user-interface thread blocked\n", edges);
    std::printf("  pending before delivery: %zu, delivered: %ld, lost: %llu\n", pending, seen,
                static_cast<unsigned long long>(rig.control.LostEvents()));
    std::printf("  VmRSS idle %ld kB, after the burst %ld kB (+%.2f MB)\n", idleKb, blockedKb,
                static_cast<double>(blockedKb - idleKb) / 1024.0);
    if (peakReset)
        std::printf("  VmHWM during burst and delivery %ld kB: peak %.2f MB above idle\n", peakKb,
                    static_cast<double>(peakKb - idleKb) / 1024.0);
    else
        std::printf("  VmHWM could not be reset; peak since start %ld kB\n", peakKb);
    return seen == edges && rig.control.LostEvents() == 0;
}

bool measureThroughput(long edges) {
    Rig rig;
    long seen = 0;
    bool allCts = true;
    QObject::connect(&rig.control, &SerialPortControl::OnComm, [&] {
        ++seen;
        allCts = allCts && rig.control.CommEvent() == CommEvents::CtsChanged;
    });

    const auto start = Clock::now();
    Clock::time_point produced;
    std::thread producer([&] {
        rig.toggleCts(edges);
        produced = Clock::now();
    });
    deliverUntil(rig.control, seen, edges);
    const auto delivered = Clock::now();
    producer.join();

    const double produceS = std::chrono::duration<double>(produced - start).count();
    const double deliverS = std::chrono::duration<double>(delivered - start).count();
    std::printf("Throughput: %ld CTS edges from a rig thread\n", edges);
    std::printf("  produced in %.3f s (%.0f edges/s), all delivered in %.3f s (%.0f edges/s)\n",
                produceS, static_cast<double>(edges) / produceS, deliverS,
                static_cast<double>(edges) / deliverS);
    std::printf("  OnComm notifications: %ld, lost: %llu, every CommEvent 3: %s\n", seen,
                static_cast<unsigned long long>(rig.control.LostEvents()), allCts ? "yes" : "no");
    return seen == edges && rig.control.LostEvents() == 0 && allCts;
}

bool measureLatency(int events, std::chrono::microseconds spacing) {
    Rig rig;
    std::vector<qint64> injectedAt(events);
    std::vector<qint64> latencyNs;
    latencyNs.reserve(events);
    long seen = 0;
    QObject::connect(&rig.control, &SerialPortControl::OnComm, [&] {
        latencyNs.push_back(nowNs() - injectedAt[seen]);
        ++seen;
    });

    std::thread producer([&] {
        for (int i = 0; i < events; ++i) {
            injectedAt[i] = nowNs();  // published to the handler through the event queue
            rig.port->injectEvent(CommEvents::Break);
            std::this_thread::sleep_for(spacing);
        }
    });
    deliverUntil(rig.control, seen, events);
    producer.join();

    std::sort(latencyNs.begin(), latencyNs.end());
    const auto at = [&](double q) {
        const auto index = static_cast<std::size_t>(q * static_cast<double>(latencyNs.size()));
        return static_cast<double>(latencyNs[std::min(latencyNs.size() - 1, index)]) / 1e3;
    };
    std::printf(
        "Delivery latency: an event the simulator hands over at once, to its OnComm "
        "handler (%d events, %lld us apart; no driver detection in it: the guest test "
        "measures that)\n",
        events, static_cast<long long>(spacing.count()));
    std::printf("  median %.1f us, 99th percentile %.1f us, max %.1f us\n", at(0.5), at(0.99),
                static_cast<double>(latencyNs.back()) / 1e3);
    return seen == events;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    bool ok = measureBurstMemory(100'000);
    ok = measureThroughput(1'000'000) && ok;
    ok = measureLatency(5'000, std::chrono::microseconds(200)) && ok;
    std::printf("%s\n", ok ? "No event lost." : "EVENTS LOST OR MISCOUNTED.");
    return ok ? 0 : 1;
}

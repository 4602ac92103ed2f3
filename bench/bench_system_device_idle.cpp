// Idle cost of an open system port's worker: opens a pseudo-terminal slave, leaves it idle
// and prints the process's CPU time as a share of one core, with the worker's wake-ups.
// Three runs: as opened normally (a pseudo-terminal has no modem lines, so the worker only
// waits); with the line watch forced on, as the lines of a driver without a wait are polled;
// and the same polled every 2 ms.
//
// Each run measures `seconds` of steady idle after the port has settled from opening.
// Usage: bench_system_device_idle [seconds per run, default 10]

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <thread>

#include "system_serial_device.h"

namespace {

class CountingSink : public DeviceEventSink {
public:
    void portEventAt(short, const EventStamp&) override { ++events; }
    void deviceLost(const CommError&) override { ++losses; }
    std::atomic<long> events{0};
    std::atomic<long> losses{0};
};

double seconds(clockid_t clock) {
    timespec ts{};
    clock_gettime(clock, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

int runIdle(const char* label, const QString& slave, SystemPortWorker::Options options,
            int idleSeconds) {
    CountingSink sink;
    SystemSerialDevice device(slave, OpenRequest{}, sink, options);
    // Measure the steady idle after opening.
    std::this_thread::sleep_for(std::chrono::milliseconds(200));

    const quint64 wakeupsBefore = device.wakeups();
    const double cpuBefore = seconds(CLOCK_PROCESS_CPUTIME_ID);
    const double wallBefore = seconds(CLOCK_MONOTONIC);
    std::this_thread::sleep_for(std::chrono::seconds(idleSeconds));
    const double cpu = seconds(CLOCK_PROCESS_CPUTIME_ID) - cpuBefore;
    const double wall = seconds(CLOCK_MONOTONIC) - wallBefore;
    const double wakeupsPerSecond = double(device.wakeups() - wakeupsBefore) / wall;

    std::printf(
        "%-22s %6.1f s idle: CPU %.3f%% of one core, %.0f wake-ups/s, %ld events, "
        "%ld losses\n",
        label, wall, 100.0 * cpu / wall, wakeupsPerSecond, sink.events.load(), sink.losses.load());
    return sink.losses.load() == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    const int idleSeconds = argc > 1 ? std::atoi(argv[1]) : 10;
    if (idleSeconds <= 0) {
        std::fprintf(stderr, "usage: %s [seconds per run]\n", argv[0]);
        return 2;
    }

    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) {
        std::perror("posix_openpt");
        return 1;
    }
    const QString slave = QString::fromLocal8Bit(ptsname(master));

    try {
        int failures = runIdle("as opened", slave, {}, idleSeconds);
        failures += runIdle("lines polled", slave, {.forceLineWatch = true}, idleSeconds);
        failures += runIdle("lines polled at 2 ms", slave, {.forceLineWatch = true, .pollMs = 2},
                            idleSeconds);
        close(master);
        return failures;
    } catch (const CommError& e) {
        std::fprintf(stderr, "%s\n", e.what());
        close(master);
        return 1;
    }
}

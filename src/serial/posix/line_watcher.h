#pragma once

#include <atomic>
#include <chrono>
#include <vector>

#include "device_loss.h"
#include "serial_device.h"
#include "system_line_events.h"
#include "system_tty.h"

// Looks at a tty's modem lines and the kernel's counters of line edges and errors, and
// reports what changed between two looks as the control's events. Runs on the worker
// thread, except where noted.
class LineWatcher {
public:
    // Longest wait between two looks at the modem lines: while they are busy, and once they
    // have been quiet for kQuietAfterMs. A wake-up costs tens of microseconds in a virtual
    // machine, so idle lines are looked at less often. Where the driver counts edges no
    // pulse is lost between looks, and where it offers a wait for line changes (real UARTs)
    // a change wakes the worker at once; where only the levels show, a pulse shorter than
    // the wait is lost.
    static constexpr int kBusyPollMs = 2;
    static constexpr int kQuietPollMs = 20;
    static constexpr int kQuietAfterMs = 1000;

    struct Options {
        // Look at the lines on every timeout even where the device has none, to measure
        // what watching a real UART costs.
        bool forceLineWatch = false;
        int quietPollMs = kQuietPollMs;
    };

    // Finds out what the device offers and takes the present line state as the baseline.
    LineWatcher(SystemTty& tty, DeviceEventSink& sink, DeviceLoss& loss, Options options);

    // The kernel counts line errors; the looks report them.
    bool countsErrors() const { return hasCounters_; }
    // The device shows the levels of its input lines.
    bool showsLevels() const { return hasLevels_; }
    // There is anything to look at.
    bool watching() const { return watching_; }

    // From any thread: the lines moved, or may have (outputs switched, the driver saw a
    // change). The next wake takes note of it.
    void noteActivity() { activity_ = true; }
    // Activity noted since the last wake makes the lines busy from now.
    void takeNotedActivity();
    // How long the worker may wait before the next look: -1 when there is nothing to look at.
    int nextLookMs() const;
    // Looks at the lines and reports the events since the previous look.
    void look();

private:
    // These return 0 or the errno of a failed ioctl; parts the device lacks are left out.
    // With `previous` given, an unchanged look is taken as it is.
    int readSnapshot(LineSnapshot& snapshot, const LineSnapshot* previous);
    int readCounters(LineSnapshot& snapshot);
    int readLevels(LineSnapshot& snapshot);

    SystemTty& tty_;
    DeviceEventSink& sink_;
    DeviceLoss& loss_;
    const Options options_;

    // Set once at start: what the device offers.
    bool hasCounters_ = false;
    bool hasLevels_ = false;
    bool watching_ = false;

    LineEventTracker tracker_{LineSnapshot{}};
    std::vector<short> events_;
    std::chrono::steady_clock::time_point lastActivity_;
    std::atomic<bool> activity_{false};
};

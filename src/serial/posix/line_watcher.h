#pragma once

#include <algorithm>
#include <atomic>
#include <mutex>
#include <vector>

#include "device_loss.h"
#include "driver_traits.h"
#include "serial_device.h"
#include "system_line_events.h"
#include "system_tty.h"

// Looks at a tty's modem lines and the kernel's counters of line edges and errors, and
// reports what changed between two looks as the control's events. Runs on the worker
// thread, except where noted.
//
// Where the driver wakes a wait on a line change, the waiting thread looks as soon as it
// wakes, and the worker only on input or when its own outputs switched: a quiet port costs
// nothing. Without the wait the levels are looked at every kPollMs, and a pulse shorter
// than that is missed.
class LineWatcher {
public:
    static constexpr int kPollMs = 20;
    // After a look that found the lines moved, one more this soon: edges that came while
    // the wait was being entered again wake nobody. Where the driver reports the lines at
    // intervals, one more only after its next report: a look ahead of a report can see a
    // level that the report then never tells, because it went back in time, and nothing
    // would wake the worker to see it go back.
    static constexpr int kSettleMs = 2;

    struct Options {
        // Look at the lines on every timeout even where the device has none, to measure
        // what watching a real UART costs.
        bool forceLineWatch = false;
        int pollMs = kPollMs;
        // How often the driver publishes the lines, where it does so in reports (0: at each
        // change). Its wait follows the reports while a look reads the lines as they are now.
        int reportIntervalMs = 0;
    };

    // Finds out what the device offers and takes the present line state as the baseline.
    LineWatcher(SystemTty& tty, DeviceEventSink& sink, DeviceLoss& loss, Options options);

    // The kernel counts line errors; the looks report them.
    bool countsErrors() const { return hasCounters_; }
    // The device shows the levels of its input lines.
    bool showsLevels() const { return hasLevels_; }
    // There is anything to look at.
    bool watching() const { return watching_; }

    // From any thread: whether the driver's wait for line changes wakes the worker.
    void setWaitedFor(bool waited) { waitedFor_ = waited; }
    // How long the worker may sleep before the next look: -1 until something wakes it.
    int nextLookMs() const;
    // How soon after a look that found the lines moved the next one follows.
    int settleMs() const { return std::max(kSettleMs, options_.reportIntervalMs + 1); }
    // From the worker or the waiting thread: looks at the lines and reports the events since
    // the previous look.
    void look();

    // From any thread: how faithfully each input line is seen now.
    PortFidelity fidelity(const DriverTraits& traits, int reportIntervalMs) const;

private:
    // These return 0 or the errno of a failed ioctl; parts the device lacks are left out.
    // With `previous` given, an unchanged look is taken as it is.
    int readSnapshot(LineSnapshot& snapshot, const LineSnapshot* previous);
    int readCounters(LineSnapshot& snapshot);
    int readLevels(LineSnapshot& snapshot);
    // A counter that stood still while its line's level moved is no counter (some drivers
    // offer the ioctl but never count): that line is taken by its levels from now on. One
    // that moved is proven.
    void judgeCounters(const LineSnapshot& now);

    SystemTty& tty_;
    DeviceEventSink& sink_;
    DeviceLoss& loss_;
    const Options options_;

    // Set once at start: what the device offers.
    bool hasCounters_ = false;
    bool hasLevels_ = false;
    bool watching_ = false;

    std::atomic<bool> waitedFor_{false};
    std::atomic<bool> moved_{false};      // the last look found events
    std::atomic<unsigned> uncounted_{0};  // LineEventTracker::Line bits
    std::atomic<unsigned> proven_{0};
    std::mutex lookMutex_;  // one look at a time, and the events in the order seen
    LineEventTracker tracker_{LineSnapshot{}};
    std::vector<short> events_;
};

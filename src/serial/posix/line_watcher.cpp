#include "line_watcher.h"

#include <chrono>
#include <thread>

#include "line_means.h"

using Line = LineEventTracker::Line;

LineWatcher::LineWatcher(SystemTty& tty, DeviceEventSink& sink, DeviceLoss& loss, Options options)
    : tty_(tty), sink_(sink), loss_(loss), options_(options) {
    LineSnapshot probe;
    hasCounters_ = tty_.readCounters(probe.counters) == 0;
    hasLevels_ = tty_.readLevels(probe.levels) == 0;
    // The lines just set at opening may still sit in the UART's change bits; a settled
    // baseline keeps them from coming out as events. A driver that reports its lines at
    // intervals tells of a change up to one report after it: the baseline waits for that
    // report, or a change from before the opening would come out as events after it. A
    // failed read only leaves parts out.
    if (options_.reportIntervalMs > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(options_.reportIntervalMs + 1));
    LineSnapshot baseline;
    readSnapshot(baseline, nullptr);
    tracker_ = LineEventTracker(baseline);
    watching_ = hasCounters_ || hasLevels_ || options_.forceLineWatch;
}

int LineWatcher::nextLookMs() const {
    if (!watching_)
        return -1;
    if (!waitedFor_.load() || options_.forceLineWatch)
        return options_.pollMs;
    return moved_ ? settleMs() : -1;
}

void LineWatcher::look() {
    std::lock_guard lock(lookMutex_);
    LineSnapshot now;
    if (const int err = readSnapshot(now, &tracker_.previous())) {
        loss_.reportIfGone(err);
        return;
    }
    judgeCounters(now);
    events_.clear();
    tracker_.update(now, events_);
    moved_ = !events_.empty();
    for (const short code : events_)
        sink_.portEvent(code);
}

void LineWatcher::judgeCounters(const LineSnapshot& now) {
    const LineSnapshot& before = tracker_.previous();
    if (!before.hasCounters || !now.hasCounters || !before.hasLevels || !now.hasLevels)
        return;
    const auto& c0 = before.counters;
    const auto& c1 = now.counters;
    const auto& l0 = before.levels;
    const auto& l1 = now.levels;
    unsigned moved = 0;
    moved |= c0.dsr != c1.dsr ? Line::Dsr : 0u;
    moved |= c0.cts != c1.cts ? Line::Cts : 0u;
    moved |= c0.dcd != c1.dcd ? Line::Cd : 0u;
    moved |= c0.rng != c1.rng ? Line::Ring : 0u;
    proven_ |= moved;
    unsigned still = 0;
    if (l0.dsr != l1.dsr && c0.dsr == c1.dsr)
        still |= Line::Dsr;
    if (l0.cts != l1.cts && c0.cts == c1.cts)
        still |= Line::Cts;
    if (l0.cd != l1.cd && c0.dcd == c1.dcd)
        still |= Line::Cd;
    // A UART counts a ring as it ends.
    if (l0.ring && !l1.ring && c0.rng == c1.rng)
        still |= Line::Ring;
    if (still) {
        uncounted_ |= still;
        tracker_.setUncounted(uncounted_.load());
    }
}

PortFidelity LineWatcher::fidelity(const DriverTraits& traits, int reportIntervalMs) const {
    const bool waits = waitedFor_.load();
    const unsigned uncounted = uncounted_.load();
    // Without the wait a driver has little reason to count: its counters are believed only
    // once they have moved.
    const unsigned believed = waits ? ~0u : proven_.load();
    const auto grade = [&](unsigned line, bool wired) {
        const LineMeans means{.wired = wired,
                              .levels = hasLevels_,
                              .waits = waits,
                              .counts = hasCounters_ && !(uncounted & line) && (believed & line)};
        return gradeLine(means, reportIntervalMs, options_.pollMs);
    };
    return {grade(Line::Dsr, true), grade(Line::Cts, traits.ctsWired), grade(Line::Cd, true),
            grade(Line::Ring, true)};
}

int LineWatcher::readSnapshot(LineSnapshot& snapshot, const LineSnapshot* previous) {
    if (const int err = readCounters(snapshot))
        return err;
    if (const int err = readLevels(snapshot))
        return err;
    if (!snapshot.hasCounters || (previous && snapshot == *previous))
        return 0;
    // Something moved. The levels must belong to the counters, or an edge counted between
    // the two reads would be seen twice (some drivers even count while reading the levels):
    // read the counters again until they hold still.
    for (int attempt = 0; attempt < 3; ++attempt) {
        LineSnapshot again;
        if (const int err = readCounters(again))
            return err;
        if (!again.hasCounters || again.counters == snapshot.counters)
            return 0;
        snapshot.counters = again.counters;
        if (const int err = readLevels(snapshot))
            return err;
    }
    return 0;
}

int LineWatcher::readCounters(LineSnapshot& snapshot) {
    if (!hasCounters_ && !options_.forceLineWatch)
        return 0;
    const int err = tty_.readCounters(snapshot.counters);
    snapshot.hasCounters = err == 0;
    return isUnsupportedIoctl(err) ? 0 : err;
}

int LineWatcher::readLevels(LineSnapshot& snapshot) {
    if (!hasLevels_ && !options_.forceLineWatch)
        return 0;
    const int err = tty_.readLevels(snapshot.levels);
    snapshot.hasLevels = err == 0;
    return isUnsupportedIoctl(err) ? 0 : err;
}

#include "line_watcher.h"

LineWatcher::LineWatcher(SystemTty& tty, DeviceEventSink& sink, DeviceLoss& loss, Options options)
    : tty_(tty), sink_(sink), loss_(loss), options_(options) {
    LineSnapshot probe;
    hasCounters_ = tty_.readCounters(probe.counters) == 0;
    hasLevels_ = tty_.readLevels(probe.levels) == 0;
    // The lines just set at opening may still sit in the UART's change bits; a settled
    // baseline keeps them from coming out as events. A failed read only leaves parts out.
    LineSnapshot baseline;
    readSnapshot(baseline, nullptr);
    tracker_ = LineEventTracker(baseline);
    watching_ = hasCounters_ || hasLevels_ || options_.forceLineWatch;
    lastActivity_ = std::chrono::steady_clock::now();  // the port just changed state
}

void LineWatcher::takeNotedActivity() {
    if (activity_.exchange(false))
        lastActivity_ = std::chrono::steady_clock::now();
}

int LineWatcher::nextLookMs() const {
    if (!watching_)
        return -1;
    const auto quietFor = std::chrono::steady_clock::now() - lastActivity_;
    return quietFor < std::chrono::milliseconds(kQuietAfterMs) ? kBusyPollMs : options_.quietPollMs;
}

void LineWatcher::look() {
    LineSnapshot now;
    if (const int err = readSnapshot(now, &tracker_.previous())) {
        loss_.reportIfGone(err);
        return;
    }
    events_.clear();
    tracker_.update(now, events_);
    if (!events_.empty())
        lastActivity_ = std::chrono::steady_clock::now();
    for (const short code : events_)
        sink_.portEvent(code);
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

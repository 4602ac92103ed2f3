#pragma once

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <utility>
#include <vector>

#include "serial_device.h"

// Sinks for tests that open devices directly, without a control.

class NullSink : public DeviceEventSink {
public:
    void portEventAt(short, const EventStamp&) override {}
    void deviceLost(const CommError&) override {}
};

// Records what a device reports, from whatever thread, and lets the test wait for it.
class RecordingSink : public DeviceEventSink {
public:
    void portEventAt(short code, const EventStamp&) override {
        std::lock_guard lock(mutex_);
        events_.push_back(code);
        changed_.notify_all();
    }
    void deviceLost(const CommError& reason) override {
        std::lock_guard lock(mutex_);
        losses_.push_back(reason);
        changed_.notify_all();
    }

    // The events so far, forgetting them.
    std::vector<short> takeCodes() {
        std::lock_guard lock(mutex_);
        return std::exchange(events_, {});
    }
    int count(short code) const {
        std::lock_guard lock(mutex_);
        return int(std::count(events_.begin(), events_.end(), code));
    }
    int eventTotal() const {
        std::lock_guard lock(mutex_);
        return int(events_.size());
    }
    std::vector<CommError> losses() const {
        std::lock_guard lock(mutex_);
        return losses_;
    }
    // The numbers of the losses reported.
    std::vector<int> lost() const {
        std::lock_guard lock(mutex_);
        std::vector<int> numbers;
        for (const CommError& e : losses_)
            numbers.push_back(e.number());
        return numbers;
    }
    QString lostText() const {
        std::lock_guard lock(mutex_);
        return losses_.empty() ? QString() : losses_.back().description();
    }

    bool waitForEvent(short code, int times = 1,
                      std::chrono::milliseconds limit = std::chrono::seconds(2)) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(
            lock, limit, [&] { return std::count(events_.begin(), events_.end(), code) >= times; });
    }
    bool waitForLoss(std::chrono::milliseconds limit = std::chrono::seconds(2)) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, limit, [&] { return !losses_.empty(); });
    }

private:
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<short> events_;
    std::vector<CommError> losses_;
};

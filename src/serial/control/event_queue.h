#pragma once

#include <QtGlobal>
#include <cstddef>
#include <deque>
#include <mutex>
#include <optional>

#include "event_stamp.h"

// Events on their way from a device (any thread) to the user-interface thread.
// Bounded: past the capacity new events are dropped and counted, never silently.
// A device-lost marker is always kept, since closing the port depends on it.
class EventQueue {
public:
    struct Entry {
        short code = 0;
        quint64 lostGeneration = 0;  // non-zero: the device opened as this generation is gone
        EventStamp stamp{};          // when the device saw it
    };

    explicit EventQueue(std::size_t capacity) : capacity_(capacity) {}

    // Returns true when the queue was empty before, so the consumer needs waking.
    bool push(const Entry& entry) {
        std::lock_guard lock(mutex_);
        if (entry.lostGeneration == 0 && entries_.size() >= capacity_) {
            ++dropped_;
            return false;
        }
        entries_.push_back(entry);
        return entries_.size() == 1;
    }

    std::optional<Entry> pop() {
        std::lock_guard lock(mutex_);
        if (entries_.empty())
            return std::nullopt;
        Entry e = entries_.front();
        entries_.pop_front();
        return e;
    }

    void clear() {
        std::lock_guard lock(mutex_);
        entries_.clear();
    }

    std::size_t size() const {
        std::lock_guard lock(mutex_);
        return entries_.size();
    }

    quint64 dropped() const {
        std::lock_guard lock(mutex_);
        return dropped_;
    }

private:
    mutable std::mutex mutex_;
    std::deque<Entry> entries_;
    const std::size_t capacity_;
    quint64 dropped_ = 0;
};

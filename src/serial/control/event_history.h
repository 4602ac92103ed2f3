#pragma once

#include <QtGlobal>
#include <cstddef>
#include <vector>

#include "event_stamp.h"

// The levels of the port's lines after an entry, as bits.
namespace LineLevel {
inline constexpr int Dtr = 1, Rts = 2, Dsr = 4, Cts = 8, Cd = 16, Ri = 32;
}

// Codes of entries that are no event of the port: DTR or RTS driven by this program, and
// input levels a read found changed without an event of their own (a rise of DSR).
inline constexpr short kOutputsDriven = 0;
inline constexpr short kLevelsRead = -1;

// One event as the port saw it, and the lines' levels just after.
struct HistoryEntry {
    short code = 0;
    quint8 levels = 0;
    EventStamp stamp;
};

// The events of the open port, oldest first, with the time the device saw each. A ring of a
// fixed size, taken in full when the first event comes: a flood of events overwrites the
// oldest and counts them, it never grows the memory.
class EventHistory {
public:
    static constexpr std::size_t kCapacity = 100'000;

    explicit EventHistory(std::size_t capacity = kCapacity) : capacity_(capacity) {}

    // Starts the history of a port opened at `opened`.
    void restart(const EventStamp& opened);
    void add(short code, const EventStamp& when, quint8 levels = 0);
    // What was learnt of the lines while the newest event was handled.
    void setNewestLevels(quint8 levels);
    // Entries added since the port opened, kept or not.
    quint64 added() const { return count_ + dropped_; }

    const EventStamp& openedAt() const { return opened_; }
    std::size_t size() const { return count_; }
    std::size_t capacity() const { return capacity_; }
    // Events overwritten since the port opened.
    quint64 dropped() const { return dropped_; }
    // 0 is the oldest event kept.
    const HistoryEntry& at(std::size_t index) const;
    std::vector<HistoryEntry> snapshot() const;
    // The bytes the events take, at most capacity() entries.
    std::size_t memoryBytes() const { return entries_.capacity() * sizeof(HistoryEntry); }

private:
    std::size_t capacity_;
    std::vector<HistoryEntry> entries_;
    std::size_t first_ = 0;
    std::size_t count_ = 0;
    quint64 dropped_ = 0;
    EventStamp opened_;
};

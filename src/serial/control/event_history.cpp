#include "event_history.h"

void EventHistory::restart(const EventStamp& opened) {
    opened_ = opened;
    first_ = 0;
    count_ = 0;
    dropped_ = 0;
}

void EventHistory::add(short code, const EventStamp& when, quint8 levels) {
    if (entries_.size() != capacity_)
        entries_.resize(capacity_);
    if (capacity_ == 0)
        return;
    if (count_ == capacity_) {
        entries_[first_] = {code, levels, when};
        first_ = (first_ + 1) % capacity_;
        ++dropped_;
        return;
    }
    entries_[(first_ + count_) % capacity_] = {code, levels, when};
    ++count_;
}

void EventHistory::setNewestLevels(quint8 levels) {
    if (count_ > 0)
        entries_[(first_ + count_ - 1) % capacity_].levels = levels;
}

const HistoryEntry& EventHistory::at(std::size_t index) const {
    return entries_[(first_ + index) % capacity_];
}

std::vector<HistoryEntry> EventHistory::snapshot() const {
    std::vector<HistoryEntry> events;
    events.reserve(count_);
    for (std::size_t i = 0; i < count_; ++i)
        events.push_back(at(i));
    return events;
}

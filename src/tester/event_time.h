#pragma once

#include <QDateTime>
#include <QString>

#include "event_stamp.h"

// How an event's time is written: in the log, the reports and the status list's tooltips.
namespace EventTime {
QDateTime wallClock(const EventStamp& stamp);
// "2026-12-09T14:03:07.412+01:00": local time to the millisecond, with its offset.
QString iso(const EventStamp& stamp);
// Seconds from `from` to `stamp` by the steady clock.
double secondsSince(const EventStamp& from, const EventStamp& stamp);
// "14:03:07.412, 12.305 s after the port opened"
QString sinceOpened(const EventStamp& stamp, const EventStamp& opened);
QString sinceOpened(const QDateTime& wall, double secondsSinceOpened);
}  // namespace EventTime

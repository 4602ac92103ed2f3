#include "event_time.h"

#include <chrono>

namespace EventTime {

QDateTime wallClock(const EventStamp& stamp) {
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(stamp.wall.time_since_epoch());
    return QDateTime::fromMSecsSinceEpoch(ms.count());
}

QString iso(const EventStamp& stamp) {
    QDateTime local = wallClock(stamp);
    local.setOffsetFromUtc(local.offsetFromUtc());  // writes the offset, "Z" for UTC
    return local.toString(Qt::ISODateWithMs);
}

double secondsSince(const EventStamp& from, const EventStamp& stamp) {
    return std::chrono::duration<double>(stamp.steady - from.steady).count();
}

QString sinceOpened(const EventStamp& stamp, const EventStamp& opened) {
    return sinceOpened(wallClock(stamp), secondsSince(opened, stamp));
}

QString sinceOpened(const QDateTime& wall, double secondsSinceOpened) {
    return QStringLiteral("%1, %2 s after the port opened")
        .arg(wall.toString(QStringLiteral("HH:mm:ss.zzz")))
        .arg(secondsSinceOpened, 0, 'f', 3);
}

}  // namespace EventTime

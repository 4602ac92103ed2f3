#include "timeline_traces.h"

#include <QPainter>
#include <array>
#include <climits>
#include <vector>

#include "comm_event.h"
#include "event_history.h"
#include "event_time.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Trace {
    const char* name;
    int level;  // LineLevel bit
};

constexpr std::array<Trace, 5> kTraces{{{"DTR", LineLevel::Dtr},
                                        {"RTS", LineLevel::Rts},
                                        {"DSR", LineLevel::Dsr},
                                        {"CTS", LineLevel::Cts},
                                        {"CD", LineLevel::Cd}}};
constexpr int kLabelWidth = 44;
constexpr int kAxisHeight = 22;

bool isLineError(short code) {
    return code >= CommEvents::Break;
}

// The first entry at or after `time`; the history is in the order events were delivered,
// which is their time order but for a few microseconds between threads.
std::size_t firstFrom(const EventHistory& history, Clock::time_point time) {
    std::size_t low = 0, high = history.size();
    while (low < high) {
        const std::size_t mid = (low + high) / 2;
        if (history.at(mid).stamp.steady < time)
            low = mid + 1;
        else
            high = mid;
    }
    return low;
}

class Plot {
public:
    Plot(const QRect& area, const TimelineSpan& span)
        : area_(area), start_(span.end - span.length), span_(span.length) {}

    int x(Clock::time_point time) const {
        const double part = std::chrono::duration<double>(time - start_) / span_;
        return area_.left() + static_cast<int>(part * area_.width());
    }
    int rowTop(std::size_t row) const { return area_.top() + static_cast<int>(row) * rowHeight(); }
    int rowHeight() const { return area_.height() / static_cast<int>(kTraces.size()); }
    int high(std::size_t row) const { return rowTop(row) + rowHeight() / 4; }
    int low(std::size_t row) const { return rowTop(row) + rowHeight() * 3 / 4; }
    const QRect& area() const { return area_; }
    Clock::time_point start() const { return start_; }

private:
    QRect area_;
    Clock::time_point start_;
    std::chrono::duration<double> span_;
};

void paintAxis(QPainter& painter, const Plot& plot, const EventHistory& history,
               const TimelineSpan& span) {
    const EventStamp& opened = history.openedAt();
    const int baseline = plot.area().bottom() + 4;
    painter.setPen(QPen(painter.pen().color(), 1));
    for (auto second = std::chrono::ceil<std::chrono::seconds>(plot.start().time_since_epoch());
         Clock::time_point(second) <= span.end; ++second) {
        const Clock::time_point tick(second);
        const int x = plot.x(tick);
        painter.drawLine(x, baseline - 4, x, baseline);
        if (opened.steady == Clock::time_point{} || second.count() % 2 != 0)
            continue;
        const EventStamp at{
            tick, opened.wall + std::chrono::duration_cast<std::chrono::system_clock::duration>(
                                    tick - opened.steady)};
        painter.drawText(QRect(x - 40, baseline, 80, kAxisHeight - 4), Qt::AlignCenter,
                         EventTime::wallClock(at).toString(QStringLiteral("HH:mm:ss")));
    }
}

}  // namespace

void paintTimeline(QPainter& painter, const QRect& area, const EventHistory& history,
                   const TimelineSpan& span) {
    const QColor ink = painter.pen().color();
    const QRect plotArea = area.adjusted(kLabelWidth, 4, -4, -kAxisHeight);
    const Plot plot(plotArea, span);
    for (std::size_t row = 0; row < kTraces.size(); ++row)
        painter.drawText(
            QRect(area.left() + 4, plot.rowTop(row), kLabelWidth - 8, plot.rowHeight()),
            Qt::AlignVCenter | Qt::AlignLeft, QLatin1String(kTraces[row].name));
    paintAxis(painter, plot, history, span);

    const std::size_t first = firstFrom(history, plot.start());
    if (history.size() == 0)
        return;
    // Before the first entry kept nothing is known: the traces start there.
    int from = first > 0 ? plotArea.left() : plot.x(history.at(0).stamp.steady);
    quint8 levels = first > 0 ? history.at(first - 1).levels : history.at(0).levels;

    std::array<std::vector<QLine>, kTraces.size()> strokes;
    std::array<int, kTraces.size()> lastEdge;
    lastEdge.fill(INT_MIN);
    std::array<int, kTraces.size()> runFrom;
    runFrom.fill(from);
    std::vector<QLine> errors;
    int lastError = INT_MIN;
    for (std::size_t i = first; i < history.size(); ++i) {
        const HistoryEntry& entry = history.at(i);
        if (entry.stamp.steady > span.end)
            break;
        const int x = plot.x(entry.stamp.steady);
        for (std::size_t row = 0; row < kTraces.size(); ++row) {
            const int bit = kTraces[row].level;
            if (((levels ^ entry.levels) & bit) == 0)
                continue;
            const int y = (levels & bit) ? plot.high(row) : plot.low(row);
            if (x != lastEdge[row]) {  // one edge a column, however many fell in it
                strokes[row].emplace_back(runFrom[row], y, x, y);
                strokes[row].emplace_back(x, plot.high(row), x, plot.low(row));
                lastEdge[row] = x;
            }
            runFrom[row] = x;
        }
        if (isLineError(entry.code) && x != lastError) {
            errors.emplace_back(x, plotArea.top(), x, plotArea.bottom());
            lastError = x;
        }
        levels = entry.levels;
    }
    const int now = plot.x(std::min(span.end, Clock::now()));
    painter.setPen(QPen(ink, 1.5));
    for (std::size_t row = 0; row < kTraces.size(); ++row) {
        const int y = (levels & kTraces[row].level) ? plot.high(row) : plot.low(row);
        strokes[row].emplace_back(runFrom[row], y, std::max(runFrom[row], now), y);
        painter.drawLines(strokes[row].data(), static_cast<int>(strokes[row].size()));
    }
    painter.setPen(QPen(QColor(220, 0, 0), 1, Qt::DashLine));
    painter.drawLines(errors.data(), static_cast<int>(errors.size()));
}

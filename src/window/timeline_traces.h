#pragma once

#include <QRect>
#include <chrono>

class EventHistory;
class QPainter;

// Draws the five lines of a port over a span of time from its history: a trace a line,
// high when the line is on, each edge where the history has it, breaks and line errors
// marked across all traces, and a time axis. However many entries fall in the span, each
// pixel column is drawn at most once a trace, so a flood costs a walk over the entries,
// not a stroke each.
struct TimelineSpan {
    std::chrono::steady_clock::time_point end;
    std::chrono::milliseconds length{10'000};
};

void paintTimeline(QPainter& painter, const QRect& area, const EventHistory& history,
                   const TimelineSpan& span);

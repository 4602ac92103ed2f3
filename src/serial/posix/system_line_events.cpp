#include "system_line_events.h"

#include "comm_event.h"
#include "line_edge_events.h"

namespace {

// Counters only grow while a port is open; a step back (driver reset) counts as no change.
std::uint32_t delta(std::uint32_t before, std::uint32_t after) {
    const std::uint32_t d = after - before;
    return d > 0x7FFFFFFFu ? 0 : d;
}

void repeat(std::vector<short>& events, short code, std::uint32_t times) {
    events.insert(events.end(), times, code);
}

}  // namespace

std::uint32_t LineEventTracker::edges(std::uint32_t counted, bool before, bool after) {
    const bool oddCount = (counted & 1u) != 0;
    const bool levelChanged = before != after;
    return oddCount == levelChanged ? counted : counted + 1;
}

std::uint32_t LineEventTracker::falls(std::uint32_t edgeCount, bool before) {
    return before ? (edgeCount + 1) / 2 : edgeCount / 2;
}

void LineEventTracker::update(const LineSnapshot& now, std::vector<short>& events) {
    // A look that missed a part it had before (a failed ioctl) is skipped whole: comparing
    // against the missing part would invent or double-count edges.
    if ((previous_.hasCounters && !now.hasCounters) || (previous_.hasLevels && !now.hasLevels))
        return;
    const bool counted = previous_.hasCounters && now.hasCounters;
    const bool levelled = previous_.hasLevels && now.hasLevels;
    const LineSnapshot::Counters zero;
    const auto& c0 = counted ? previous_.counters : zero;
    const auto& c1 = counted ? now.counters : zero;
    // Without levels the counters alone tell the story, and DSR counts as high before,
    // since it is the falls that matter.
    const LineSnapshot::Levels highDsr{.dsr = true};
    const auto& l0 = levelled ? previous_.levels : highDsr;
    const auto& l1 = levelled ? now.levels : highDsr;
    const auto isCounted = [&](Line line) { return counted && !(uncounted_ & line); };
    const auto lineEdges = [&](Line line, std::uint32_t before, std::uint32_t after, bool was,
                               bool is) {
        const std::uint32_t edgeCount = isCounted(line) ? delta(before, after) : 0;
        return levelled ? edges(edgeCount, was, is) : edgeCount;
    };

    const auto alternating = [](std::uint32_t edgeCount, bool before) {
        const std::uint32_t down = falls(edgeCount, before);
        return LineEdges{.rises = edgeCount - down, .falls = down};
    };
    ModemEdges modemEdges;
    modemEdges[ModemLine::Cts] =
        alternating(lineEdges(Cts, c0.cts, c1.cts, l0.cts, l1.cts), l0.cts);
    modemEdges[ModemLine::Dsr] =
        alternating(lineEdges(Dsr, c0.dsr, c1.dsr, l0.dsr, l1.dsr), l0.dsr);
    modemEdges[ModemLine::Cd] = alternating(lineEdges(Cd, c0.dcd, c1.dcd, l0.cd, l1.cd), l0.cd);
    // A driver that counts rings counts each at its end, as a UART reports it; seeing the
    // ring signal high on the way would count it twice. Only without counters does a rise of
    // the level stand for a ring, counted as the end it will have.
    const bool ringRose = levelled && !l0.ring && l1.ring;
    modemEdges[ModemLine::Ring].falls =
        isCounted(Ring) ? delta(c0.rng, c1.rng) : (ringRose ? 1 : 0);
    appendEdgeEvents(modemEdges, events);

    repeat(events, CommEvents::Break, delta(c0.brk, c1.brk));
    repeat(events, CommEvents::Framing, delta(c0.frame, c1.frame));
    repeat(events, CommEvents::Overrun, delta(c0.overrun, c1.overrun));
    repeat(events, CommEvents::ReceiveOverflow, delta(c0.bufOverrun, c1.bufOverrun));
    repeat(events, CommEvents::Parity, delta(c0.parity, c1.parity));

    previous_ = now;
}

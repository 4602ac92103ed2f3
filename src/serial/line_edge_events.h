#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

// The modem input lines, in the order their events are raised when several move at once.
enum class ModemLine { Cts, Dsr, Cd, Ring };
inline constexpr std::array kModemLinesInEventOrder{ModemLine::Cts, ModemLine::Dsr, ModemLine::Cd,
                                                    ModemLine::Ring};

// The event code one edge of `line` raises, or 0 for an edge that raises none: CTS and CD
// report every edge, DSR only its fall, and ring only its end, as a UART reports it.
short edgeEvent(ModemLine line, bool rising);

// How many times a line rose and fell between two looks.
struct LineEdges {
    std::uint32_t rises = 0;
    std::uint32_t falls = 0;
};

struct ModemEdges {
    LineEdges& operator[](ModemLine line) { return lines[static_cast<std::size_t>(line)]; }
    const LineEdges& operator[](ModemLine line) const {
        return lines[static_cast<std::size_t>(line)];
    }

    std::array<LineEdges, kModemLinesInEventOrder.size()> lines{};
};

// Appends the events the edges raise, line by line in event order.
void appendEdgeEvents(const ModemEdges& edges, std::vector<short>& events);

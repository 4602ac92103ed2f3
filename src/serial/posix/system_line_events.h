#pragma once

#include <cstdint>
#include <vector>

// What one look at a tty's modem lines found: the kernel's interrupt counters, which count
// every edge and error even between two looks, and the present line levels, which also show
// changes that a driver does not count. Either may be missing where the device lacks it.
struct LineSnapshot {
    struct Counters {
        std::uint32_t cts = 0, dsr = 0, dcd = 0, rng = 0;
        std::uint32_t frame = 0, parity = 0, overrun = 0, brk = 0, bufOverrun = 0;
        bool operator==(const Counters&) const = default;
    };
    struct Levels {
        bool cts = false, dsr = false, cd = false, ring = false;
        bool operator==(const Levels&) const = default;
    };

    bool hasCounters = false;
    Counters counters;
    bool hasLevels = false;
    Levels levels;

    bool operator==(const LineSnapshot&) const = default;
};

// Turns successive snapshots into the control's events: the line edges' events (see
// line_edge_events.h), and one event per counted break, framing error, overrun, kernel
// buffer overrun and parity error.
class LineEventTracker {
public:
    // The input lines, as bits.
    enum Line : unsigned { Dsr = 1, Cts = 2, Cd = 4, Ring = 8 };

    explicit LineEventTracker(const LineSnapshot& baseline) : previous_(baseline) {}

    // Lines whose counters are not to be believed: they are taken by their levels alone.
    void setUncounted(unsigned lines) { uncounted_ = lines; }

    // Appends the events between the previous snapshot and `now`, lines first, then errors,
    // and makes `now` the previous snapshot.
    void update(const LineSnapshot& now, std::vector<short>& events);

    const LineSnapshot& previous() const { return previous_; }

    // Edges of a line that moved k counted times from level `before` to level `after`. The
    // counters of some UARTs merge a pulse shorter than a look into one count; the levels
    // then disagree with an odd count, and the missing edge is added back.
    static std::uint32_t edges(std::uint32_t counted, bool before, bool after);
    // How many of `edgeCount` alternating edges starting at level `before` were falls.
    static std::uint32_t falls(std::uint32_t edgeCount, bool before);

private:
    LineSnapshot previous_;
    unsigned uncounted_ = 0;
};

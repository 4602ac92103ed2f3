#pragma once

#include <QString>

// How faithfully a port can see one input line, in the words a technician reads.
enum class FidelityGrade {
    Unknown,          // the device has not said
    EveryEdge,        // the driver waits for and counts every edge
    ReportedChanges,  // the driver reports changes; pulses between two reports merge
    Sampled,          // the levels are looked at every intervalMs; shorter pulses are missed
    NotWired,         // this kind of device has no such line
};

struct LineFidelity {
    FidelityGrade grade = FidelityGrade::Unknown;
    int intervalMs = 0;  // the report or sampling interval where known, else 0
    bool operator==(const LineFidelity&) const = default;
};

// One per input line of a port.
struct PortFidelity {
    LineFidelity dsr;
    LineFidelity cts;
    LineFidelity cd;
    LineFidelity ring;

    static PortFidelity all(LineFidelity line) { return {line, line, line, line}; }
    bool operator==(const PortFidelity&) const = default;
};

// "every edge, counted by the driver", "looked at every 20 ms: shorter pulses are missed"...
QString fidelityWords(const LineFidelity& line);

// The port's lines in one text, lines that are seen alike together: "DSR, CD, RI: every
// change the driver reports...; CTS: not wired on this kind of device". Empty where nothing
// is known.
QString portFidelityWords(const PortFidelity& port);

#pragma once

#include <QString>
#include <array>

#include "line_fidelity.h"

// The input lines a plug can wire to an output, as bits of a set.
namespace InputLines {
enum Line : unsigned { Dsr = 1, Cts = 2, Cd = 4, Ri = 8 };
inline constexpr std::array<Line, 4> kAll{Dsr, Cts, Cd, Ri};
inline constexpr unsigned kNone = 0;

QString name(Line line);
// "DSR CD", or "none".
QString names(unsigned lines);
// The line an event code reports on, or 0 for an event that is no line's.
unsigned lineOfEvent(short code);
// Whether the control reports a change of this line to `on`: CTS and CD report every
// change, DSR and RI only their fall.
bool reportsEdgeTo(Line line, bool on);
const LineFidelity& fidelityOf(const PortFidelity& fidelity, Line line);
}  // namespace InputLines

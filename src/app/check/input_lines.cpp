#include "input_lines.h"

#include <QStringList>

#include "comm_event.h"

namespace InputLines {

QString name(Line line) {
    switch (line) {
        case Dsr:
            return QStringLiteral("DSR");
        case Cts:
            return QStringLiteral("CTS");
        case Cd:
            return QStringLiteral("CD");
        case Ri:
            return QStringLiteral("RI");
    }
    return {};
}

QString names(unsigned lines) {
    QStringList words;
    for (Line line : kAll)
        if (lines & line)
            words << name(line);
    return words.isEmpty() ? QStringLiteral("none") : words.join(' ');
}

unsigned lineOfEvent(short code) {
    switch (code) {
        case CommEvents::DsrFell:
            return Dsr;
        case CommEvents::CtsChanged:
            return Cts;
        case CommEvents::CdChanged:
            return Cd;
        case CommEvents::Ring:
            return Ri;
        default:
            return kNone;
    }
}

bool reportsEdgeTo(Line line, bool on) {
    return line == Cts || line == Cd || !on;
}

const LineFidelity& fidelityOf(const PortFidelity& fidelity, Line line) {
    switch (line) {
        case Dsr:
            return fidelity.dsr;
        case Cts:
            return fidelity.cts;
        case Cd:
            return fidelity.cd;
        case Ri:
            break;
    }
    return fidelity.ring;
}

}  // namespace InputLines

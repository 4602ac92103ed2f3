#include "line_fidelity.h"

QString fidelityWords(const LineFidelity& line) {
    switch (line.grade) {
        case FidelityGrade::EveryEdge:
            return QStringLiteral("every edge, counted by the driver");
        case FidelityGrade::ReportedChanges:
            if (line.intervalMs > 0)
                return QStringLiteral(
                           "every change the driver reports (every %1 ms), pulses between "
                           "its reports may merge")
                    .arg(line.intervalMs);
            return QStringLiteral(
                "every change the driver reports, pulses between its reports may "
                "merge");
        case FidelityGrade::Sampled:
            return QStringLiteral("looked at every %1 ms: shorter pulses are missed")
                .arg(line.intervalMs);
        case FidelityGrade::NotWired:
            return QStringLiteral("not wired on this kind of device");
        case FidelityGrade::Unknown:
            break;
    }
    return QStringLiteral("not known");
}

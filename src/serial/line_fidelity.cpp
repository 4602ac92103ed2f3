#include "line_fidelity.h"

#include <QStringList>
#include <algorithm>
#include <utility>
#include <vector>

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

QString portFidelityWords(const PortFidelity& port) {
    const std::pair<const char*, LineFidelity> lines[] = {
        {"DSR", port.dsr}, {"CTS", port.cts}, {"CD", port.cd}, {"RI", port.ring}};
    std::vector<std::pair<QString, QStringList>> groups;  // words, the lines they describe
    for (const auto& [name, line] : lines) {
        if (line.grade == FidelityGrade::Unknown)
            continue;
        const QString words = fidelityWords(line);
        auto group = std::find_if(groups.begin(), groups.end(),
                                  [&](const auto& g) { return g.first == words; });
        if (group == groups.end())
            groups.push_back({words, {QLatin1String(name)}});
        else
            group->second.append(QLatin1String(name));
    }
    QStringList parts;
    for (const auto& [words, names] : groups)
        parts.append(names.join(QStringLiteral(", ")) + QStringLiteral(": ") + words);
    return parts.join(QStringLiteral("; "));
}

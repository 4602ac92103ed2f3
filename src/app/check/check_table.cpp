#include "check_table.h"

#include <QStringList>
#include <algorithm>

namespace {

struct Column {
    QString heading;
    qsizetype width;
};

QString msText(double ms) {
    return ms < 0 ? QStringLiteral("-") : QString::number(ms, 'f', 2);
}

}  // namespace

QString checkTable(const CheckReport& report) {
    Column check{QStringLiteral("Check"), 0}, expected{QStringLiteral("Expected"), 0},
        seen{QStringLiteral("Seen"), 0};
    for (Column* column : {&check, &expected, &seen})
        column->width = column->heading.size();
    for (const CheckRow& row : report.rows) {
        check.width = std::max(check.width, row.name.size());
        expected.width = std::max(expected.width, row.expected.size());
        seen.width = std::max(seen.width, row.seen.size());
    }
    const auto line = [&](const QString& result, const QString& name, const QString& want,
                          const QString& got, const QString& ms, const QString& note) {
        QString text = result.leftJustified(8) + name.leftJustified(check.width + 2) +
                       want.leftJustified(expected.width + 2) + got.leftJustified(seen.width + 2) +
                       ms.rightJustified(8);
        if (!note.isEmpty())
            text += QStringLiteral("  ") + note;
        return text + '\n';
    };

    const QString wiring = report.plug.wiring();
    QString out =
        QStringLiteral("Com %1: %2, plug %3\n")
            .arg(report.port)
            .arg(report.adapter.description.isEmpty()
                     ? report.adapter.path
                     : report.adapter.path + QStringLiteral(", ") + report.adapter.description,
                 report.plug.name == wiring
                     ? wiring
                     : report.plug.name + QStringLiteral(" (") + wiring + ')');
    out += line(QStringLiteral("Result"), check.heading, expected.heading, seen.heading,
                QStringLiteral("ms"), QString());
    for (const CheckRow& row : report.rows)
        out += line(row.passed ? QStringLiteral("PASS") : QStringLiteral("FAIL"), row.name,
                    row.expected, row.seen, msText(row.ms), row.note);
    const int failed = report.failures();
    const QString total = QString::number(report.rows.size());
    out += failed == 0 ? QStringLiteral("All %1 checks passed").arg(total)
                       : QStringLiteral("%1 of %2 checks failed").arg(failed).arg(total);
    out += QStringLiteral(" in %1 s.\n").arg(report.durationMs / 1000.0, 0, 'f', 2);
    return out;
}

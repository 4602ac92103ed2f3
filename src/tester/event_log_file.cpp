#include "event_log_file.h"

#include <QStringList>
#include <algorithm>

#include "comm_event_log.h"
#include "event_time.h"

namespace {

// A plain scan, not a regular expression: the log is written on a worker thread, and with
// the Windows toolchain the expression engine's per-thread stack crashes that thread's exit.
QString csvField(const QString& field) {
    const auto special = [](QChar c) { return c == '"' || c == ',' || c == '\r' || c == '\n'; };
    if (std::none_of(field.begin(), field.end(), special))
        return field;
    QString quoted = field;
    quoted.replace('"', QStringLiteral("\"\""));
    return '"' + quoted + '"';
}

// "DTR on, RTS off": a row for the outputs this program drove.
QString outputsText(quint8 levels) {
    const auto state = [](bool on) { return on ? QStringLiteral("on") : QStringLiteral("off"); };
    return QStringLiteral("DTR %1, RTS %2")
        .arg(state(levels & LineLevel::Dtr), state(levels & LineLevel::Rts));
}

QStringList headerLines(const EventLogHeader& header) {
    QStringList lines{
        header.program,
        QStringLiteral("Port: Com %1, %2").arg(header.port).arg(header.device),
        QStringLiteral("Line settings: %1").arg(header.settings),
        QStringLiteral("DSR: %1").arg(fidelityWords(header.fidelity.dsr)),
        QStringLiteral("CTS: %1").arg(fidelityWords(header.fidelity.cts)),
        QStringLiteral("CD: %1").arg(fidelityWords(header.fidelity.cd)),
        QStringLiteral("RI: %1").arg(fidelityWords(header.fidelity.ring)),
        QStringLiteral("Port opened: %1").arg(EventTime::iso(header.opened)),
    };
    if (header.dropped > 0)
        lines << QStringLiteral("Earlier events not kept: %1").arg(header.dropped);
    return lines;
}

}  // namespace

EventLogFormat eventLogFormatFor(const QString& fileName) {
    return fileName.endsWith(QLatin1String(".csv"), Qt::CaseInsensitive) ? EventLogFormat::Csv
                                                                         : EventLogFormat::Text;
}

QByteArray eventLogFile(const EventLogHeader& header, const std::vector<HistoryEntry>& events,
                        EventLogFormat format) {
    const bool csv = format == EventLogFormat::Csv;
    QString out;
    out.reserve(static_cast<qsizetype>(events.size()) * 80 + 512);
    for (const QString& line : headerLines(header))
        out += (csv ? QStringLiteral("# ") : QString()) + line + '\n';
    out += csv ? QStringLiteral("time,seconds,code,text\n") : QStringLiteral("\n");
    for (const HistoryEntry& event : events) {
        if (event.code == kLevelsRead)
            continue;  // what the lamps were read as, not an event
        const QString time = EventTime::iso(event.stamp);
        const QString seconds =
            QString::number(EventTime::secondsSince(header.opened, event.stamp), 'f', 3);
        const bool driven = event.code == kOutputsDriven;
        const QString code = driven ? QString() : QString::number(event.code);
        const QString text =
            driven ? outputsText(event.levels) : CommEventLog::CommEventText(event.code);
        if (csv)
            out += time + ',' + seconds + ',' + code + ',' + csvField(text);
        else
            out += time + QStringLiteral("  ") + seconds.rightJustified(10) + QStringLiteral("  ") +
                   (driven ? text : code + QStringLiteral(" - ") + text);
        out += '\n';
    }
    return out.toUtf8();
}

#include "check_files.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QXmlStreamWriter>

#include "comm_event_log.h"
#include "event_time.h"
#include "input_lines.h"

namespace {

using namespace InputLines;

QString gradeName(FidelityGrade grade) {
    switch (grade) {
        case FidelityGrade::EveryEdge:
            return QStringLiteral("every-edge");
        case FidelityGrade::ReportedChanges:
            return QStringLiteral("reported-changes");
        case FidelityGrade::Sampled:
            return QStringLiteral("sampled");
        case FidelityGrade::NotWired:
            return QStringLiteral("not-wired");
        case FidelityGrade::Unknown:
            break;
    }
    return QStringLiteral("unknown");
}

QString seconds(double ms) {
    return QString::number(std::max(ms, 0.0) / 1000.0, 'f', 3);
}

QJsonObject fidelityJson(const PortFidelity& fidelity) {
    QJsonObject lines;
    for (Line line : kAll) {
        const LineFidelity& of = fidelityOf(fidelity, line);
        lines[name(line)] = QJsonObject{{"grade", gradeName(of.grade)},
                                        {"intervalMs", of.intervalMs},
                                        {"text", fidelityWords(of)}};
    }
    return lines;
}

QString udevPath(const QString& kind, const QString& name) {
    return name.isEmpty() ? name : QStringLiteral("/dev/serial/%1/%2").arg(kind, name);
}

// The adapter's fields by their names in both reports; empty where not known.
std::vector<std::pair<QString, QString>> adapterFields(const FoundSerialDevice& adapter) {
    const AdapterFacts& facts = adapter.facts;
    return {{"path", adapter.path},
            {"description", adapter.description},
            {"driver", facts.driver},
            {"vendorId", facts.vendorId},
            {"productId", facts.productId},
            {"serialNumber", facts.serialNumber},
            {"manufacturer", facts.manufacturer},
            {"product", facts.product},
            {"byId", udevPath(QStringLiteral("by-id"), adapter.byId)},
            {"byPath", udevPath(QStringLiteral("by-path"), adapter.byPath)}};
}

QJsonObject adapterJson(const FoundSerialDevice& adapter) {
    QJsonObject object;
    for (const auto& [name, value] : adapterFields(adapter))
        object[name] = value;
    return object;
}

QJsonObject checkJsonRow(const CheckRow& row) {
    QJsonObject object{{"name", row.name},
                       {"passed", row.passed},
                       {"expected", row.expected},
                       {"seen", row.seen},
                       {"note", row.note}};
    object["ms"] = row.ms < 0 ? QJsonValue() : QJsonValue(row.ms);
    return object;
}

QJsonObject eventJson(const HistoryEntry& event, const EventStamp& started) {
    return {{"time", EventTime::iso(event.stamp)},
            {"seconds", EventTime::secondsSince(started, event.stamp)},
            {"code", event.code},
            {"text", CommEventLog::CommEventText(event.code)}};
}

QString eventLine(const HistoryEntry& event, const EventStamp& started) {
    return QStringLiteral("%1 %2 %3 - %4\n")
        .arg(EventTime::iso(event.stamp))
        .arg(EventTime::secondsSince(started, event.stamp), 0, 'f', 6)
        .arg(event.code)
        .arg(CommEventLog::CommEventText(event.code));
}

void writeProperty(QXmlStreamWriter& xml, const QString& name, const QString& value) {
    xml.writeStartElement(QStringLiteral("property"));
    xml.writeAttribute(QStringLiteral("name"), name);
    xml.writeAttribute(QStringLiteral("value"), value);
    xml.writeEndElement();
}

void writeTestCase(QXmlStreamWriter& xml, const CheckReport& report, const CheckRow& row) {
    xml.writeStartElement(QStringLiteral("testcase"));
    xml.writeAttribute(QStringLiteral("classname"),
                       QStringLiteral("quillmark.check.com%1").arg(report.port));
    xml.writeAttribute(QStringLiteral("name"), row.name);
    xml.writeAttribute(QStringLiteral("time"), seconds(row.ms));
    const QString summary = QStringLiteral("expected %1, seen %2").arg(row.expected, row.seen);
    if (!row.passed) {
        xml.writeStartElement(QStringLiteral("failure"));
        xml.writeAttribute(QStringLiteral("message"), summary);
        xml.writeAttribute(QStringLiteral("type"), QStringLiteral("check"));
        xml.writeCharacters(row.note);
        xml.writeEndElement();
    }
    xml.writeTextElement(QStringLiteral("system-out"),
                         row.note.isEmpty() ? summary : summary + QStringLiteral("; ") + row.note);
    xml.writeEndElement();
}

}  // namespace

QByteArray checkJson(const CheckReport& report) {
    QJsonArray checks;
    for (const CheckRow& row : report.rows)
        checks.append(checkJsonRow(row));
    QJsonArray events;
    for (const HistoryEntry& event : report.events)
        events.append(eventJson(event, report.started));
    const QJsonObject root{
        {"program", report.program},
        {"port", report.port},
        {"adapter", adapterJson(report.adapter)},
        {"plug", QJsonObject{{"name", report.plug.name}, {"wiring", report.plug.wiring()}}},
        {"fidelity", fidelityJson(report.fidelity)},
        {"started", EventTime::iso(report.started)},
        {"durationMs", report.durationMs},
        {"passed", report.passed()},
        {"checks", checks},
        {"events", events}};
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

QByteArray checkJUnit(const CheckReport& report) {
    QByteArray out;
    QXmlStreamWriter xml(&out);
    xml.setAutoFormatting(true);
    xml.writeStartDocument();
    const QString tests = QString::number(report.rows.size());
    const QString failures = QString::number(report.failures());
    xml.writeStartElement(QStringLiteral("testsuites"));
    xml.writeAttribute(QStringLiteral("tests"), tests);
    xml.writeAttribute(QStringLiteral("failures"), failures);
    xml.writeAttribute(QStringLiteral("time"), seconds(report.durationMs));
    xml.writeStartElement(QStringLiteral("testsuite"));
    xml.writeAttribute(QStringLiteral("name"), QStringLiteral("Com %1 check").arg(report.port));
    xml.writeAttribute(QStringLiteral("tests"), tests);
    xml.writeAttribute(QStringLiteral("failures"), failures);
    xml.writeAttribute(QStringLiteral("errors"), QStringLiteral("0"));
    xml.writeAttribute(QStringLiteral("skipped"), QStringLiteral("0"));
    xml.writeAttribute(QStringLiteral("time"), seconds(report.durationMs));
    xml.writeAttribute(QStringLiteral("timestamp"),
                       EventTime::wallClock(report.started).toString(Qt::ISODate));

    xml.writeStartElement(QStringLiteral("properties"));
    writeProperty(xml, QStringLiteral("program"), report.program);
    for (const auto& [name, value] : adapterFields(report.adapter))
        writeProperty(xml, QStringLiteral("adapter.") + name, value);
    writeProperty(xml, QStringLiteral("plug"), report.plug.name);
    writeProperty(xml, QStringLiteral("wiring"), report.plug.wiring());
    for (Line line : kAll)
        writeProperty(xml, QStringLiteral("fidelity.") + name(line),
                      fidelityWords(fidelityOf(report.fidelity, line)));
    xml.writeEndElement();

    for (const CheckRow& row : report.rows)
        writeTestCase(xml, report, row);
    QString events;
    for (const HistoryEntry& event : report.events)
        events += eventLine(event, report.started);
    xml.writeTextElement(QStringLiteral("system-out"), events);
    xml.writeEndElement();
    xml.writeEndElement();
    xml.writeEndDocument();
    return out;
}

#pragma once

#include <QByteArray>
#include <QString>
#include <vector>

#include "event_history.h"
#include "line_fidelity.h"

// What a saved log says about the port before its events.
struct EventLogHeader {
    QString program;  // name and version
    short port = 0;
    QString device;  // what the port number reaches: path, identity
    QString settings;
    PortFidelity fidelity;
    EventStamp opened;
    quint64 dropped = 0;  // events the history had no room for
};

enum class EventLogFormat { Text, Csv };

// CSV for a name ending in ".csv", plain text for any other.
EventLogFormat eventLogFormatFor(const QString& fileName);

// The log as a file: the header, then one row an event, oldest first, with its ISO 8601
// time, the seconds since the port opened, the code and its text; a change of DTR or RTS
// this program drove has no code and says both outputs. CSV quotes a field where it must
// and carries the header as lines starting "#".
QByteArray eventLogFile(const EventLogHeader& header, const std::vector<HistoryEntry>& events,
                        EventLogFormat format);

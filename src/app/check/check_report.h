#pragma once

#include <QString>
#include <vector>

#include "event_history.h"
#include "found_serial_device.h"
#include "line_fidelity.h"
#include "plug_profile.h"

// One line of the check's verdict.
struct CheckRow {
    QString name;
    bool passed = false;
    QString expected;
    QString seen;
    double ms = -1;  // negative: no time to tell
    QString note;
};

// Everything a check found, for the table and the reports.
struct CheckReport {
    QString program;  // name and version
    short port = 0;
    // What the port reaches: its path and description always; the names udev made and the
    // facts where the system's scan found the device.
    FoundSerialDevice adapter;
    PlugProfile plug;
    PortFidelity fidelity;
    EventStamp started;
    double durationMs = 0;
    std::vector<CheckRow> rows;
    std::vector<HistoryEntry> events;

    int failures() const {
        int failed = 0;
        for (const CheckRow& row : rows)
            failed += row.passed ? 0 : 1;
        return failed;
    }
    bool passed() const { return failures() == 0; }
};

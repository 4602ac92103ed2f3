#pragma once

#include <QString>
#include <QStringList>
#include <optional>

#include "input_lines.h"

// Which inputs a plug wires to each output: DTR's followers rise and fall with DTR, RTS's
// with RTS. Every plug echoes the data lines (pins 2-3), so the wiring check passes on all.
struct PlugProfile {
    QString name;  // a known plug's name, or the wiring as written
    unsigned dtrFollowers = InputLines::kNone;
    unsigned rtsFollowers = InputLines::kNone;

    // "DTR=DSR,CD;RTS=CTS"
    QString wiring() const;

    // The test rig's own wiring: DSR and CD follow DTR, CTS follows RTS.
    static PlugProfile rig();
    // A known plug by name, or a wiring written out as "DTR=DSR,CD;RTS=CTS". On a mistake
    // returns nothing and says why in `error`.
    static std::optional<PlugProfile> parse(const QString& text, QString& error);
    // "rig: ...", one line a known plug, for --help.
    static QStringList described();
};

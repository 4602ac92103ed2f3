#pragma once

#include <QString>

// What a lamp's colour says, in words, for a screen reader and for anyone who cannot tell
// red from green.
enum class LampMeaning {
    Line,      // a control line: red on, green off
    Wiring,    // the loopback check: green passed, red failed
    LatchOff,  // flashes green when a refresh read its line off
    LatchOn,   // flashes red when a refresh read its line on
};

QString lampStateWords(LampMeaning meaning, int colour);

// How the lamp's line is seen, added to its state words: "on; seen: every edge, counted by
// the driver". `seenAs` may be empty (no port open).
QString lampDescription(const QString& stateWords, const QString& seenAs);
QString lampToolTip(const QString& name, const QString& stateWords, const QString& seenAs);

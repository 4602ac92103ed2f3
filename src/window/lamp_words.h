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

#pragma once

#include <QString>

// How the rig is wired at the far end of the port.
enum class SimWiring {
    LoopbackPlug,  // TX to RX, RTS to CTS, DTR to DSR and CD
    NoPlug,
};

// The port operations a test can make fail.
enum class SimOperation { Open, Configure, SetDtr, SetRts, Inputs, Write, TakeInput };
enum class SimRepeat { Once, Persistent };

struct SimFailure {
    int number = 0;
    QString description;
    bool persistent = false;
};

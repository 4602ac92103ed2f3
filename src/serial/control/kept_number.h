#pragma once

#include <QString>

// An adapter that has had a number, kept for it while it is away.
struct KeptNumber {
    QString identity;     // FoundSerialDevice::identity
    QString description;  // what it is, for the user
};

#pragma once

#include <optional>

#ifndef _WIN32
#include <termios.h>
#endif

// The line speeds termios sets without custom divisors: the only ones this control accepts,
// on Windows too, so that a setting works the same everywhere.

bool isStandardSpeed(int baud);
#ifndef _WIN32
// The termios constant (B9600 ...) for a standard speed; nullopt for any other.
std::optional<speed_t> termiosSpeed(int baud);
#endif

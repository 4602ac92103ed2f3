#pragma once

#include <termios.h>

#include <optional>

// The line speeds termios sets without custom divisors: the only ones this control accepts.

bool isStandardSpeed(int baud);
// The termios constant (B9600 ...) for a standard speed; nullopt for any other.
std::optional<speed_t> termiosSpeed(int baud);

#pragma once

#include <termios.h>

#include <optional>

// The termios constant (B9600 ...) for a standard speed; nullopt for any other.
std::optional<speed_t> termiosSpeed(int baud);

#pragma once

#include <array>

// The line speeds termios sets without custom divisors: the only ones this control accepts.
inline constexpr std::array kStandardSpeeds{
    50,     75,     110,    134,    150,     200,     300,     600,     1200,
    1800,   2400,   4800,   9600,   19200,   38400,   57600,   115200,  230400,
    460800, 500000, 576000, 921600, 1000000, 1152000, 1500000, 2000000,
};

bool isStandardSpeed(int baud);

#pragma once

#include <QString>

#include "line_settings.h"

struct termios;

// Raw mode with the line's format, no flow control and no processing, and the input checks
// on so that the kernel marks bad bytes and breaks. Speed is not set here.
void makeRawTermios(termios& t, const LineSettings& settings);

// Puts the open tty `fd` (named `path` for the user) in raw mode with the line's speed and
// format, and checks that the driver took them. Pseudo-terminals carry no character format
// (the kernel forces 8 bits, no parity), so theirs is not checked. Throws CommError
// SettingsRejected. A tty that has them already is left alone: returns whether it changed.
bool applyLineSettings(int fd, const QString& path, const LineSettings& settings,
                       bool pseudoTerminal);

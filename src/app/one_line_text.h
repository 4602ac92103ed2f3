#pragma once

#include <QString>

// The text with its control characters written out ("\n", "\t", "\x1b"), so that a device
// name or description from the system can never break a line of output, nor drive a terminal.
QString oneLineText(const QString& text);
bool hasControlCharacter(const QString& text);

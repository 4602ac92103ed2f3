#pragma once

#include <QString>
#include <optional>

// How numbers typed into the window's text boxes are read and written back.
namespace NumberText {

// The longest leading decimal number after leading blanks (sign, digits, optional point and
// fraction); 0 for text without one. Throws std::overflow_error when the digits do not fit
// a double.
double leadingNumber(const QString& text);

// Nearest integer, a value exactly halfway going to the even one (2.5 -> 2, 3.5 -> 4).
double roundHalfEven(double value);

// The rounded value as a 16-bit or 32-bit signed integer; nullopt when it does not fit.
std::optional<short> toInt16(double value);
std::optional<qint32> toInt32(double value);

// General number format: integral values as plain digits ("1", "42"), others with their
// fraction ("3.5"); exponent form only where plain digits would mislead (>= 1e15).
QString formatGeneral(double value);

}  // namespace NumberText

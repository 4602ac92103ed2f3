#pragma once

// The port numbers a user can choose: COM 1 to 16.
namespace PortNumbers {
inline constexpr short kFirst = 1;
inline constexpr short kLast = 16;

constexpr bool isValid(int number) {
    return number >= kFirst && number <= kLast;
}
}  // namespace PortNumbers

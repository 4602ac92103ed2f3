#pragma once

#include <QString>
#include <cstdint>

// The system's own text for a Windows error code, without the trailing line break.
QString windowsErrorText(std::uint32_t error);
// "Opening COM5 failed: Access is denied."
QString describeWindowsError(const QString& action, const QString& port, std::uint32_t error);

#pragma once

#include <QString>
#include <exception>
#include <string>

// The error the serial control raises: a number the caller can tell apart and a
// description meant for the user. Numbers below are this control's own.
namespace CommErrors {
inline constexpr int InvalidPropertyValue = 380;
inline constexpr int InvalidPortNumber = 8002;
inline constexpr int PortAlreadyOpen = 8005;
inline constexpr int PortNotOpen = 8012;
inline constexpr int PortNumberLocked = 8013;  // CommPort written while open
inline constexpr int SettingsRejected = 8015;
inline constexpr int ReadFailed = 8020;
inline constexpr int WriteFailed = 8021;
inline constexpr int LineControlFailed = 8022;
inline constexpr int PermissionDenied = 8030;
inline constexpr int DeviceLost = 8031;
inline constexpr int OpenFailed = 8040;
}  // namespace CommErrors

class CommError : public std::exception {
public:
    CommError(int number, QString description);

    int number() const { return number_; }
    const QString& description() const { return description_; }
    const char* what() const noexcept override { return what_.c_str(); }

private:
    int number_;
    QString description_;
    std::string what_;
};

// The error for a port number that names no port.
CommError invalidPortNumber(int port);

// The system's own text for an errno.
QString systemErrorText(int err);
// Describes an errno from a system call on a device, for the user.
QString describeSystemError(const QString& action, const QString& device, int err);

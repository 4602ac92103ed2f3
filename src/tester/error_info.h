#pragma once

#include <QString>
#include <exception>

// An error as the user is told of it: its number and its description.
struct ErrorInfo {
    int number = 0;
    QString description;

    bool operator==(const ErrorInfo&) const = default;
};

// The number and description of the exception being handled (call inside a catch block).
ErrorInfo currentErrorInfo();

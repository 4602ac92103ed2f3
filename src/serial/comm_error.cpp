#include "comm_error.h"

#include <cstring>

CommError::CommError(int number, QString description)
    : number_(number),
      description_(std::move(description)),
      what_(QStringLiteral("%1: %2").arg(number_).arg(description_).toStdString()) {}

CommError invalidPortNumber(int port) {
    return CommError(CommErrors::InvalidPortNumber,
                     QStringLiteral("Com %1 is not a valid port number.").arg(port));
}

QString systemErrorText(int err) {
    return QString::fromLocal8Bit(std::strerror(err));
}

QString describeSystemError(const QString& action, const QString& device, int err) {
    return QStringLiteral("%1 %2 failed: %3.").arg(action, device, systemErrorText(err));
}

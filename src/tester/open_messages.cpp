#include "open_messages.h"

#include "comm_error.h"

namespace {

const QString kCrLf = QStringLiteral("\r\n");

}  // namespace

QString alreadyOpenMessage(short port) {
    return QStringLiteral("Com %1 is already open.").arg(port) + kCrLf +
           QStringLiteral("Please select a different port");
}

QString invalidPortMessage(short port) {
    return QStringLiteral("Com %1 is not a valid port.").arg(port) + kCrLf +
           QStringLiteral("Please select a different port");
}

QString openProblemMessage(const ErrorInfo& error) {
    return QStringLiteral("There was a problem opening the port.") + kCrLf +
           QStringLiteral(" Error number: %1").arg(error.number) + kCrLf +
           QStringLiteral("Error description: ") + error.description;
}

QString openFailureMessage(short port, const ErrorInfo& error) {
    if (error.number == CommErrors::PortAlreadyOpen)
        return alreadyOpenMessage(port);
    if (error.number == CommErrors::InvalidPortNumber)
        return invalidPortMessage(port);
    return openProblemMessage(error);
}

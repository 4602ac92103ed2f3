#pragma once

#include <QString>

#include "error_info.h"

// What the user is told when a port does not open: the window shows it in a box, the
// headless check on standard error.
QString alreadyOpenMessage(short port);
QString invalidPortMessage(short port);
QString openProblemMessage(const ErrorInfo& error);
// The message for a failed open: already open, not a valid port, or any other problem.
QString openFailureMessage(short port, const ErrorInfo& error);

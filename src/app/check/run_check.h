#pragma once

#include <memory>

#include "check_options.h"

class MappedDeviceOpener;

// Runs --check without a window: opens the port as the window does (its failures are told
// on standard error in the window's words), runs the checks, prints the table and writes the
// reports asked for. Returns the exit status: 0 all passed, 1 one failed, 2 not run, 128+N
// stopped by signal N (SIGINT, SIGTERM, SIGHUP), with the port closed and no report written.
// Needs a QCoreApplication.
int runCheck(const CheckOptions& options, std::shared_ptr<MappedDeviceOpener> opener);

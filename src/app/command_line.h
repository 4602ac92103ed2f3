#pragma once

#include <QString>
#include <QStringList>
#include <optional>

#include "check_options.h"
#include "port_map.h"

// What the command line asks for, beyond Qt's own options.
struct AppOptions {
    PortMap ports;
    bool listPorts = false;
    QString screenshotPath;  // empty: run normally
    CheckOptions check;
};

// Parses the command line; on --help, --version or a mistake prints and returns the exit
// code the program should end with instead.
struct ParsedCommandLine {
    AppOptions options;
    std::optional<int> exitCode;
};

ParsedCommandLine parseCommandLine(const QStringList& arguments);

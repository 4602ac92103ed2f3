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
    // Why the window could not be shown, where nothing names a display; empty otherwise.
    // What runs without a window needs none.
    QString missingDisplay;
    CheckOptions check;
};

// Parses the command line; on --help, --version or a mistake says what to print and the exit
// code the program should end with instead. Nothing is printed here.
struct ParsedCommandLine {
    AppOptions options;
    std::optional<int> exitCode;
    QString reply;  // with exitCode: the answer (exit code 0) or the mistake (any other)

    // Whether what is asked for is the window.
    bool showsWindow() const {
        return !exitCode && !options.listPorts && options.check.port == 0 &&
               options.missingDisplay.isEmpty();
    }
};

ParsedCommandLine parseCommandLine(const QStringList& arguments);

// Prints a parse's reply, the answer on standard output and a mistake on standard error;
// returns its exit code.
int printReply(const ParsedCommandLine& parsed);

// Tells a mistake on the command line in one line on standard error, the program's name
// first and the way to the help last; returns the exit code for it.
int refuseUsage(const QString& why);

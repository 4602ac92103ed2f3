#pragma once

#include <QString>

#include "plug_profile.h"
#include "port_check.h"

class QCommandLineParser;

// --check N and the options that go with it.
struct CheckOptions {
    short port = 0;  // 0: no check asked for
    PlugProfile plug = PlugProfile::rig();
    CycleRequest cycles;
    QString jsonPath;
    QString junitPath;
};

void addCheckOptions(QCommandLineParser& parser);
// Reads the check's options from a parsed command line; returns a text for the user on a
// mistake, else an empty text.
QString readCheckOptions(const QCommandLineParser& parser, CheckOptions& options);

#pragma once

#include <QStringList>

// The program's arguments as Qt's application object would give them, read before there is
// one.
QStringList programArguments(int argc, char** argv);

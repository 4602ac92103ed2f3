#include "program_arguments.h"

#include <QCoreApplication>

// Qt reads Windows' own wide command line, not argv: the application object that does is
// made for the reading only.
QStringList programArguments(int argc, char** argv) {
    const QCoreApplication reader(argc, argv);
    return QCoreApplication::arguments();
}

#include "program_arguments.h"

// As Qt reads them here: each in the locale's encoding.
QStringList programArguments(int argc, char** argv) {
    QStringList arguments;
    arguments.reserve(argc);
    for (int index = 0; index < argc; ++index)
        arguments << QString::fromLocal8Bit(argv[index]);
    return arguments;
}

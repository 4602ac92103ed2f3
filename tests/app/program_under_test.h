#pragma once

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>

// The program the build made, as the tests of its command line start it.
inline QString programPath() {
    return qEnvironmentVariable("QUILLMARK_BINARY_DIR", ".") + "/src/app/quillmark";
}

// Starts the program where nothing names a display, as on a test bench or a server.
inline void startWithoutDisplay(QProcess& program, const QStringList& arguments) {
    QProcessEnvironment noDisplay = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        noDisplay.remove(name);
    program.setProcessEnvironment(noDisplay);
    program.start(programPath(), arguments);
}

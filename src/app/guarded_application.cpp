#include "guarded_application.h"

#include <cstdio>

bool GuardedApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        const ErrorInfo error = currentErrorInfo();
        if (reporter_)
            reporter_(error);
        else
            std::fprintf(stderr, "Quillmark: %d %s\n", error.number, qPrintable(error.description));
        return false;
    }
}

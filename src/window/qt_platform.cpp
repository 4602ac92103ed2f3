#include "qt_platform.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>

// A local event loop until the deadline: the window repaints and answers meanwhile, and the
// notifications that arrive are held for DoEvents. Only the application's exit ends the
// loop before its timer does (exit ends every event loop), and then the wait ends too, so
// that a closing program does not linger.
void QtPlatform::waitFor(quint32 milliseconds) {
    const QDeadlineTimer deadline(milliseconds, Qt::PreciseTimer);
    while (!deadline.hasExpired()) {
        QEventLoop loop;
        bool timedOut = false;
        QTimer::singleShot(std::chrono::milliseconds(deadline.remainingTime()), Qt::PreciseTimer,
                           &loop, [&] {
                               timedOut = true;
                               loop.quit();
                           });
        loop.exec();
        if (!timedOut)
            return;
    }
}

void QtPlatform::pumpWindowEvents() {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

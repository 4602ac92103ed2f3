#include "first_poll_screenshot.h"

#include <QCoreApplication>
#include <QTimer>

void FirstPollScreenshot::Timer1_Timer() {
    inner_.Timer1_Timer();
    if (taken_)
        return;
    taken_ = true;
    // Once the poll's own events have been handled, so the picture shows their result.
    QTimer::singleShot(0, [this] {
        saved_ = save_(path_);
        QCoreApplication::exit(saved_ ? 0 : 1);
    });
}

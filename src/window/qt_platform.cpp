#include "qt_platform.h"

#include <QCoreApplication>
#include <QThread>

void QtPlatform::Sleep(quint32 milliseconds) {
    QThread::msleep(milliseconds);
}

void QtPlatform::DoEvents() {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

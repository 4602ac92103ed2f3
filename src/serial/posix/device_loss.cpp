#include "device_loss.h"

#include <poll.h>
#include <termios.h>

#include <cerrno>

DeviceLoss::DeviceLoss(QString path, DeviceEventSink& sink, QString hint)
    : path_(std::move(path)), hint_(std::move(hint)), sink_(sink) {}

bool DeviceLoss::meansGone(int err) {
    return err == EIO || err == ENXIO || err == ENODEV;
}

bool DeviceLoss::reportIfGone(int err) {
    if (!meansGone(err))
        return false;
    report();
    return true;
}

void DeviceLoss::reportIfHungUp(short pollEvents) {
    if (pollEvents & (POLLHUP | POLLERR | POLLNVAL))
        report();
}

bool DeviceLoss::reportUnlessAnswering(int fd) {
    termios settings{};
    if (::tcgetattr(fd, &settings) == 0)
        return false;
    report();
    return true;
}

void DeviceLoss::report() {
    if (lost_.exchange(true))
        return;
    sink_.deviceLost(CommError(CommErrors::DeviceLost,
                               QStringLiteral("%1 stopped answering (unplugged or hung up), so the "
                                              "port was closed. Reconnect it and choose the port "
                                              "again.%2")
                                   .arg(path_, hint_.isEmpty() ? QString() : ' ' + hint_)));
    if (onReported_)
        onReported_();
}

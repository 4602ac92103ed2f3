#include "transmit_queue.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "comm_event.h"

TransmitQueue::TransmitQueue(SystemTty& tty, DeviceEventSink& sink, DeviceLoss& loss,
                             std::function<void()> wakeWorker)
    : tty_(tty), sink_(sink), loss_(loss), wakeWorker_(std::move(wakeWorker)) {}

void TransmitQueue::send(const QByteArray& bytes) {
    if (bytes.isEmpty() || loss_.lost())
        return;
    int failure = 0;
    bool dropped = false;
    bool wakeWorker = false;
    {
        std::lock_guard lock(mutex_);
        qsizetype sent = 0;
        // Bytes may go straight to the kernel only when none are queued ahead of them.
        while (buffer_.isEmpty() && sent < bytes.size()) {
            const ssize_t n = ::write(tty_.fd(), bytes.constData() + sent, bytes.size() - sent);
            if (n > 0) {
                sent += n;
                continue;
            }
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0 && errno != EAGAIN)
                failure = errno;
            break;
        }
        if (failure == 0) {
            const qsizetype rest = bytes.size() - sent;
            const qsizetype kept = std::min<qsizetype>(rest, kTransmitBufferSize - buffer_.size());
            wakeWorker = buffer_.isEmpty() && kept > 0;
            buffer_.append(bytes.constData() + sent, kept);
            dropped = kept < rest;
        }
    }
    if (failure != 0) {
        if (loss_.reportIfGone(failure))
            return;
        throw CommError(CommErrors::WriteFailed,
                        describeSystemError(QStringLiteral("Writing to"), tty_.path(), failure));
    }
    if (wakeWorker)
        wakeWorker_();  // so that it starts waiting for room on the line
    if (dropped)
        sink_.portEvent(CommEvents::TransmitFull);
}

bool TransmitQueue::pending() {
    std::lock_guard lock(mutex_);
    return !buffer_.isEmpty();
}

void TransmitQueue::flush() {
    int failure = 0;
    {
        std::lock_guard lock(mutex_);
        if (buffer_.isEmpty())
            return;
        const ssize_t n = ::write(tty_.fd(), buffer_.constData(), buffer_.size());
        if (n > 0) {
            buffer_.remove(0, n);
        } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
            failure = errno;
            buffer_.clear();  // nobody to tell from here; retrying would spin
        }
    }
    loss_.reportIfGone(failure);
}

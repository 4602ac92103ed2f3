#include "pty_pair.h"

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

PtyPair::PtyPair() {
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0)
        return;
    if (grantpt(master_) != 0 || unlockpt(master_) != 0) {
        closeMaster();
        return;
    }
    slavePath_ = QString::fromLocal8Bit(ptsname(master_));
    fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
}

PtyPair::~PtyPair() {
    stopEcho();
    closeMaster();
}

qsizetype PtyPair::send(const QByteArray& bytes) {
    return ::write(master_, bytes.constData(), bytes.size());
}

QByteArray PtyPair::receive(qsizetype wanted, std::chrono::milliseconds quiet) {
    QByteArray got;
    char chunk[4096];
    while (got.size() < wanted) {
        pollfd fd{master_, POLLIN, 0};
        if (::poll(&fd, 1, int(quiet.count())) <= 0)
            break;
        const ssize_t n = ::read(master_, chunk, sizeof chunk);
        if (n <= 0)
            break;
        got.append(chunk, n);
    }
    return got;
}

void PtyPair::startEcho() {
    echoing_ = true;
    echo_ = std::thread([this] {
        char buffer[256];
        while (echoing_) {
            pollfd p{master_, POLLIN, 0};
            if (::poll(&p, 1, 5) <= 0 || !(p.revents & POLLIN))
                continue;
            const ssize_t n = ::read(master_, buffer, sizeof buffer);
            if (n > 0)
                (void)!::write(master_, buffer, static_cast<size_t>(n));
        }
    });
}

void PtyPair::stopEcho() {
    echoing_ = false;
    if (echo_.joinable())
        echo_.join();
}

void PtyPair::closeMaster() {
    if (master_ >= 0)
        ::close(master_);
    master_ = -1;
}

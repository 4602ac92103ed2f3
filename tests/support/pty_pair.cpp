#include "pty_pair.h"

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

PtyPair::PtyPair() {
    master_ = posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ < 0)
        return;
    if (grantpt(master_) != 0 || unlockpt(master_) != 0) {
        ::close(master_);
        master_ = -1;
        return;
    }
    slavePath_ = QString::fromLocal8Bit(ptsname(master_));
    // Raw on the master side too, so bytes pass untouched both ways.
    termios tio{};
    if (tcgetattr(master_, &tio) == 0) {
        cfmakeraw(&tio);
        tcsetattr(master_, TCSANOW, &tio);
    }
}

PtyPair::~PtyPair() {
    stopEcho();
    closeMaster();
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

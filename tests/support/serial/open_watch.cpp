#include "open_watch.h"

#include <sys/inotify.h>
#include <unistd.h>

OpenWatch::OpenWatch(const QString& path) {
    fd_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (fd_ >= 0 && inotify_add_watch(fd_, path.toLocal8Bit().constData(), IN_OPEN) < 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

OpenWatch::~OpenWatch() {
    if (fd_ >= 0)
        ::close(fd_);
}

int OpenWatch::openings() {
    alignas(inotify_event) char buffer[4096];
    int count = 0;
    for (ssize_t n; (n = ::read(fd_, buffer, sizeof buffer)) > 0;) {
        for (ssize_t at = 0; at < n;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
            count += (event->mask & IN_OPEN) ? 1 : 0;
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
        }
    }
    return count;
}

#include "low_latency.h"

#include <sys/ioctl.h>

LowLatencyRequest::LowLatencyRequest(int fd) : fd_(fd) {
    if (::ioctl(fd_, TIOCGSERIAL, &found_) != 0)
        return;
    if (found_.flags & ASYNC_LOW_LATENCY) {
        granted_ = true;
        return;
    }
    serial_struct wanted = found_;
    wanted.flags |= ASYNC_LOW_LATENCY;
    changed_ = ::ioctl(fd_, TIOCSSERIAL, &wanted) == 0;
    serial_struct now{};
    granted_ = changed_ && ::ioctl(fd_, TIOCGSERIAL, &now) == 0 && (now.flags & ASYNC_LOW_LATENCY);
}

LowLatencyRequest::~LowLatencyRequest() {
    if (changed_)
        ::ioctl(fd_, TIOCSSERIAL, &found_);
}

#include "modem_lines.h"

#include <linux/serial.h>
#include <sys/ioctl.h>

#include <cerrno>

int switchModemLines(int fd, int bits, bool on) {
    return ::ioctl(fd, on ? TIOCMBIS : TIOCMBIC, &bits) == 0 ? 0 : errno;
}

int readModemLevels(int fd, LineSnapshot::Levels& levels) {
    int bits = 0;
    if (::ioctl(fd, TIOCMGET, &bits) != 0)
        return errno;
    levels.cts = bits & TIOCM_CTS;
    levels.dsr = bits & TIOCM_DSR;
    levels.cd = bits & TIOCM_CAR;
    levels.ring = bits & TIOCM_RNG;
    return 0;
}

int readModemCounters(int fd, LineSnapshot::Counters& counters) {
    serial_icounter_struct icount{};
    if (::ioctl(fd, TIOCGICOUNT, &icount) != 0)
        return errno;
    counters.cts = static_cast<std::uint32_t>(icount.cts);
    counters.dsr = static_cast<std::uint32_t>(icount.dsr);
    counters.dcd = static_cast<std::uint32_t>(icount.dcd);
    counters.rng = static_cast<std::uint32_t>(icount.rng);
    counters.frame = static_cast<std::uint32_t>(icount.frame);
    counters.parity = static_cast<std::uint32_t>(icount.parity);
    counters.overrun = static_cast<std::uint32_t>(icount.overrun);
    counters.brk = static_cast<std::uint32_t>(icount.brk);
    counters.bufOverrun = static_cast<std::uint32_t>(icount.buf_overrun);
    return 0;
}

bool isUnsupportedIoctl(int err) {
    return err == ENOTTY || err == EINVAL;
}

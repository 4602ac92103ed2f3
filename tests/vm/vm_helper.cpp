// Small tools for the test guest: switch the UART's internal loopback, check the rig before
// the tester runs on it, and report the verdict to the host through the debug-exit port.
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#if defined(__x86_64__) || defined(__i386__)
#include <sys/io.h>
#endif

#include "guest_guard.h"

namespace {

// The UART's internal loopback bit of the modem-control ioctls; glibc's headers leave it out
// and the kernel's clash with them.
constexpr int kModemLoop = 0x8000;

// The debug-exit device sits at this I/O port; QEMU exits with (value << 1) | 1.
constexpr unsigned short kDebugExitPort = 0xf4;

class Tty {
public:
    explicit Tty(const char* path) : path_(path) {
        fd_ = ::open(path, O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (fd_ < 0)
            std::fprintf(stderr, "open %s: %s\n", path, std::strerror(errno));
    }
    ~Tty() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Tty(const Tty&) = delete;
    Tty& operator=(const Tty&) = delete;

    bool ok() const { return fd_ >= 0; }
    int fd() const { return fd_; }

    bool modemBits(unsigned long request, int bits) {
        if (::ioctl(fd_, request, &bits) == 0)
            return true;
        std::fprintf(stderr, "modem ioctl on %s: %s\n", path_, std::strerror(errno));
        return false;
    }
    int modemLines() {
        int bits = 0;
        if (::ioctl(fd_, TIOCMGET, &bits) != 0)
            return -1;
        return bits;
    }

private:
    const char* path_;
    int fd_ = -1;
};

int setLoopback(const char* device, bool on) {
    Tty tty(device);
    if (!tty.ok())
        return 1;
    if (!tty.modemBits(on ? TIOCMBIS : TIOCMBIC, kModemLoop))
        return 1;
    std::printf("loopback %s on %s\n", on ? "on" : "off", device);
    return 0;
}

bool makeRaw(Tty& tty) {
    termios t{};
    if (::tcgetattr(tty.fd(), &t) != 0)
        return false;
    ::cfmakeraw(&t);
    ::cfsetspeed(&t, B9600);
    t.c_cflag |= CLOCAL | CREAD;
    ::tcflush(tty.fd(), TCIOFLUSH);
    return ::tcsetattr(tty.fd(), TCSANOW, &t) == 0;
}

std::string readFor(Tty& tty, std::size_t want, int timeoutMs) {
    std::string got;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (got.size() < want && std::chrono::steady_clock::now() < deadline) {
        pollfd p{tty.fd(), POLLIN, 0};
        if (::poll(&p, 1, 20) <= 0)
            continue;
        char buffer[64];
        const ssize_t n = ::read(tty.fd(), buffer, sizeof buffer);
        if (n > 0)
            got.append(buffer, static_cast<std::size_t>(n));
    }
    return got;
}

// Checks what the tester relies on in the UART's loopback: echo, DSR following DTR, CTS
// following RTS and CD on while the port is open. A failure here is the rig's, not the
// tester's.
int rigCheck(const char* device) {
    Tty tty(device);
    if (!tty.ok() || !makeRaw(tty))
        return 1;
    int failures = 0;
    auto check = [&](bool good, const char* what) {
        std::printf("%s: rig: %s\n", good ? "PASS" : "FAIL", what);
        if (!good)
            ++failures;
    };
    auto lines = [&](int setBits, int clearBits) {
        if (clearBits)
            tty.modemBits(TIOCMBIC, clearBits);
        if (setBits)
            tty.modemBits(TIOCMBIS, setBits);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        return tty.modemLines();
    };

    check((tty.modemLines() & kModemLoop) != 0, "loopback bit set");
    const std::string probe = "rig-probe";
    check(::write(tty.fd(), probe.data(), probe.size()) == static_cast<ssize_t>(probe.size()) &&
              readFor(tty, probe.size(), 2000) == probe,
          "data echoes");

    int m = lines(TIOCM_DTR, TIOCM_RTS);
    check((m & TIOCM_DSR) && !(m & TIOCM_CTS), "DTR on, RTS off gives DSR on, CTS off");
    m = lines(TIOCM_RTS, TIOCM_DTR);
    check(!(m & TIOCM_DSR) && (m & TIOCM_CTS), "DTR off, RTS on gives DSR off, CTS on");
    check((m & TIOCM_CD) != 0, "CD on while open");
    lines(0, TIOCM_RTS);
    return failures == 0 ? 0 : 1;
}

int debugExit(int value) {
#if defined(__x86_64__) || defined(__i386__)
    std::fflush(nullptr);
    ::sync();
    if (::ioperm(kDebugExitPort, 1, 1) != 0) {
        std::fprintf(stderr, "ioperm: %s\n", std::strerror(errno));
        return 1;
    }
    ::outb(static_cast<unsigned char>(value), kDebugExitPort);
    return 1;  // the machine should be gone by now
#else
    (void)value;
    std::fprintf(stderr, "no debug-exit port on this architecture\n");
    return 1;
#endif
}

int usage() {
    std::fprintf(stderr,
                 "usage: quillmark_vm_helper loopback on|off DEVICE\n"
                 "       quillmark_vm_helper rig-check DEVICE\n"
                 "       quillmark_vm_helper exit VALUE\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (!insideTestGuest()) {
        std::fprintf(stderr,
                     "quillmark_vm_helper runs only inside the test virtual machine "
                     "(boot line without %s); nothing was opened.\n",
                     kGuestMarker);
        return 3;
    }
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "loopback" && argc == 4) {
        const std::string state = argv[2];
        if (state != "on" && state != "off")
            return usage();
        return setLoopback(argv[3], state == "on");
    }
    if (command == "rig-check" && argc == 3)
        return rigCheck(argv[2]);
    if (command == "exit" && argc == 3)
        return debugExit(std::atoi(argv[2]));
    return usage();
}

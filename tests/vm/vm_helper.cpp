// Small tools for the test guest: switch the UART's internal loopback, check the UART and the
// rig's tty before the tester runs on them, and report the verdict to the host through the
// debug-exit port.
#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <future>
#include <string>
#include <thread>
#include <vector>

#if defined(__x86_64__) || defined(__i386__)
#include <sys/io.h>
#endif

#include "guest_guard.h"
#include "rig_device.h"

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

class Checks {
public:
    explicit Checks(const char* rig) : rig_(rig) {}
    void operator()(bool good, const char* what) {
        std::printf("%s: %s: %s\n", good ? "PASS" : "FAIL", rig_, what);
        std::fflush(stdout);
        if (!good)
            ++failures_;
    }
    int status() const { return failures_ == 0 ? 0 : 1; }

private:
    const char* rig_;
    int failures_ = 0;
};

serial_icounter_struct counters(Tty& tty) {
    serial_icounter_struct c{};
    ::ioctl(tty.fd(), TIOCGICOUNT, &c);
    return c;
}

// Waits in TIOCMIWAIT on another thread; the result is the ioctl's errno, 0 for a change.
std::future<int> waitForLineChange(Tty& tty, std::atomic<pthread_t>& waiter) {
    return std::async(std::launch::async, [&tty, &waiter] {
        waiter = pthread_self();
        const int lines = TIOCM_CTS | TIOCM_DSR | TIOCM_CD | TIOCM_RNG;
        return ::ioctl(tty.fd(), TIOCMIWAIT, lines) == 0 ? 0 : errno;
    });
}

// How N_TTY hands out a marked run longer than it holds, to reads of the worker's size.
std::string markedReadSizes(Tty& tty, RigControl& rig) {
    std::vector<RigControl::Received> run(1365, {RIG_RX_BREAK, 0});
    run.push_back({RIG_RX_FRAME, 'x'});
    rig.receive(run);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    std::string sizes;
    char chunk[4096];
    ssize_t n;
    while ((n = ::read(tty.fd(), chunk, sizeof chunk)) > 0)
        sizes += (sizes.empty() ? "" : " + ") + std::to_string(n);
    return sizes;
}

bool endsWithin(std::future<int>& wait, int ms, int expected) {
    return wait.wait_for(std::chrono::milliseconds(ms)) == std::future_status::ready &&
           wait.get() == expected;
}

void doNothing(int) {}

// Checks the rig's tty from both ends: lines both ways, edges counted and waited for, the
// line discipline's marking of received errors, sending, break and hang-up. A failure here is
// the rig's, not the tester's.
int ttyRigCheck(const char* device) {
    RigControl rig;
    Tty tty(device);
    termios t{};
    if (!rig.ok() || !tty.ok() || !makeRaw(tty) || ::tcgetattr(tty.fd(), &t) != 0)
        return 1;
    t.c_iflag |= INPCK | PARMRK;  // as the tester asks for it
    ::tcsetattr(tty.fd(), TCSANOW, &t);
    Checks check("tty rig");
    const auto settle = [] { std::this_thread::sleep_for(std::chrono::milliseconds(20)); };

    tty.modemBits(TIOCMBIS, TIOCM_DTR);
    tty.modemBits(TIOCMBIC, TIOCM_RTS);
    check(rig.outputLines() == TIOCM_DTR, "DTR on, RTS off reach the far end");
    rig.setInputs(TIOCM_CTS | TIOCM_CAR);
    const int inputs = TIOCM_CTS | TIOCM_DSR | TIOCM_CAR | TIOCM_RNG;
    check((tty.modemLines() & inputs) == (TIOCM_CTS | TIOCM_CAR),
          "the far end's CTS and CD read at the port");

    serial_icounter_struct c0 = counters(tty);
    rig.pulse(TIOCM_CTS, 1);
    check(counters(tty).cts == c0.cts,
          "as a 16550's, edges go uncounted under CLOCAL until a wait");

    std::atomic<pthread_t> waiter{};
    auto wait = waitForLineChange(tty, waiter);
    settle();
    rig.pulse(TIOCM_CTS, 1);
    check(endsWithin(wait, 1000, 0), "TIOCMIWAIT wakes on a CTS pulse");
    struct sigaction action {};
    action.sa_handler = doNothing;  // no SA_RESTART: the wait ends with EINTR
    sigaction(SIGURG, &action, nullptr);
    wait = waitForLineChange(tty, waiter);
    settle();
    pthread_kill(waiter.load(), SIGURG);
    check(endsWithin(wait, 1000, EINTR), "a signal ends TIOCMIWAIT with EINTR");

    c0 = counters(tty);
    rig.pulse(TIOCM_CTS | TIOCM_DSR | TIOCM_CAR | TIOCM_RNG, 1);
    serial_icounter_struct c1 = counters(tty);
    check(c1.cts - c0.cts == 2 && c1.dsr - c0.dsr == 2 && c1.dcd - c0.dcd == 2 &&
              c1.rng - c0.rng == 1,
          "a pulse counts two edges of CTS, DSR and CD and one ring (its trailing edge)");

    c1 = counters(tty);
    rig.receive({{RIG_RX_NORMAL, 'a'},
                 {RIG_RX_BREAK, 0},
                 {RIG_RX_FRAME, 'x'},
                 {RIG_RX_PARITY, 'y'},
                 {RIG_RX_OVERRUN, 'z'},
                 {RIG_RX_NORMAL, 0xFF}});
    const std::string marked("a\377\0\0\377\0x\377\0y\377\377", 12);
    check(readFor(tty, marked.size(), 1000) == marked,
          "received errors arrive marked (the overrun byte dropped) and 0xFF doubled");
    const serial_icounter_struct c2 = counters(tty);
    check(c2.brk - c1.brk == 1 && c2.frame - c1.frame == 1 && c2.parity - c1.parity == 1 &&
              c2.overrun - c1.overrun == 1,
          "a break, a framing error, a parity error and an overrun are counted");

    // It keeps room for every byte to become a three-byte marker, so it never holds 4096.
    std::printf(
        "NOTE: tty rig: 1365 breaks and a bad byte, read 4096 bytes at a time: %s "
        "bytes\n",
        markedReadSizes(tty, rig).c_str());

    const std::string probe = "rig-probe";
    check(::write(tty.fd(), probe.data(), probe.size()) == static_cast<ssize_t>(probe.size()) &&
              rig.takeSent() == probe,
          "what the port sends reaches the far end");
    const int breaks = rig.breaksSent();
    ::ioctl(tty.fd(), TIOCSBRK);
    ::ioctl(tty.fd(), TIOCCBRK);
    check(rig.breaksSent() == breaks + 1, "a break the port sends reaches the far end");

    wait = waitForLineChange(tty, waiter);
    settle();
    rig.hangUp();
    check(endsWithin(wait, 1000, EIO), "a hang-up ends TIOCMIWAIT with EIO");
    pollfd p{tty.fd(), POLLIN, 0};
    check(::poll(&p, 1, 1000) == 1 && (p.revents & POLLHUP), "the hung-up port polls as hung up");
    Tty again(device);
    check(again.ok(), "the port opens again after the hang-up");
    return check.status();
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
                 "       quillmark_vm_helper tty-rig-check DEVICE\n"
                 "       quillmark_vm_helper exit VALUE\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (refuseOutsideTestGuest("quillmark_vm_helper"))
        return 3;
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "loopback" && argc == 4) {
        const std::string state = argv[2];
        if (state != "on" && state != "off")
            return usage();
        return setLoopback(argv[3], state == "on");
    }
    if (command == "rig-check" && argc == 3)
        return rigCheck(argv[2]);
    if (command == "tty-rig-check" && argc == 3)
        return ttyRigCheck(argv[2]);
    if (command == "exit" && argc == 3)
        return debugExit(std::atoi(argv[2]));
    return usage();
}

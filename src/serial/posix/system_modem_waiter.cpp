#include "system_modem_waiter.h"

#include <pthread.h>
#include <signal.h>
#include <sys/ioctl.h>

#include <cerrno>
#include <chrono>
#include <mutex>

namespace {

// SIGURG is ignored by default, so a process that never meets this class is not affected;
// a handler is needed for it to interrupt the wait at all.
constexpr int kInterruptSignal = SIGURG;

void doNothing(int) {}

// Installs the do-nothing handler once, without SA_RESTART so that the wait returns EINTR.
// A handler someone else installed is left in place: it interrupts the wait as well.
void installInterruptHandler() {
    static std::once_flag once;
    std::call_once(once, [] {
        struct sigaction current {};
        sigaction(kInterruptSignal, nullptr, &current);
        if (current.sa_handler != SIG_DFL && current.sa_handler != SIG_IGN)
            return;
        struct sigaction action {};
        action.sa_handler = doNothing;
        sigemptyset(&action.sa_mask);
        sigaction(kInterruptSignal, &action, nullptr);
    });
}

}  // namespace

ModemStatusWaiter::ModemStatusWaiter(int fd, std::function<void(bool ended)> onChange)
    : fd_(fd), onChange_(std::move(onChange)) {
    installInterruptHandler();
    thread_ = std::thread(&ModemStatusWaiter::run, this);
}

ModemStatusWaiter::~ModemStatusWaiter() {
    stopping_ = true;
    // A signal that lands just before the thread enters the wait is lost: repeat until the
    // thread has left.
    while (!finished_.load()) {
        interrupt();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    thread_.join();
}

bool ModemStatusWaiter::driverWaits() {
    using namespace std::chrono_literals;
    const auto giveUp = std::chrono::steady_clock::now() + 200ms;
    while (!entered_.load() && !finished_.load() && std::chrono::steady_clock::now() < giveUp)
        std::this_thread::sleep_for(100us);
    // A refusal comes back within microseconds of entering.
    if (!finished_.load())
        std::this_thread::sleep_for(2ms);
    return waiting();
}

void ModemStatusWaiter::rearm() {
    if (!finished_.load())
        interrupt();
}

void ModemStatusWaiter::interrupt() {
    pthread_kill(thread_.native_handle(), kInterruptSignal);
}

void ModemStatusWaiter::run() {
    const int lines = TIOCM_CTS | TIOCM_DSR | TIOCM_CD | TIOCM_RNG;
    while (!stopping_.load()) {
        entered_ = true;
        if (::ioctl(fd_, TIOCMIWAIT, lines) == 0) {
            onChange_(false);
            continue;
        }
        if (errno == EINTR)
            continue;  // stopping, or waiting anew after a termios change
        break;         // no such wait here, or the device is gone: the watcher notices that itself
    }
    finished_ = true;
    if (!stopping_.load())
        onChange_(true);
}

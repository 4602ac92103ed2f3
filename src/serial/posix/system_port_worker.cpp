#include "system_port_worker.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/timerfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <system_error>

SystemPortWorker::SystemPortWorker(SystemTty& tty, ReceiveBuffer& receive, DeviceEventSink& sink,
                                   DeviceLoss& loss, const LineSettings& settings, Options options)
    : tty_(tty),
      loss_(loss),
      lines_(tty, sink, loss, options),
      input_(tty, receive, sink, loss, lines_.countsErrors()),
      transmit_(tty, sink, loss, [this] { wake(); }) {
    settingsChanged(settings, false);

    wakeFd_.reset(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
    if (!wakeFd_.valid())
        throw CommError(
            CommErrors::OpenFailed,
            describeSystemError(QStringLiteral("Preparing to watch"), tty_.path(), errno));
    settleTimer_.reset(::timerfd_create(CLOCK_MONOTONIC, TFD_CLOEXEC | TFD_NONBLOCK));
    // A loss reported from another thread wakes the worker, so that it stops watching.
    loss_.setOnReported([this] { wake(); });
    startWaiter();
    try {
        thread_ = std::thread(&SystemPortWorker::run, this);
    } catch (const std::system_error& e) {
        modemWaiter_.reset();
        loss_.setOnReported({});
        throw CommError(CommErrors::OpenFailed,
                        describeSystemError(QStringLiteral("Starting the watch of"), tty_.path(),
                                            e.code().value()));
    }
}

void SystemPortWorker::startWaiter() {
    if (!lines_.showsLevels())
        return;
    try {
        modemWaiter_ = std::make_unique<ModemStatusWaiter>(
            tty_.fd(), [this](bool waitEnded) { onWaiterWoke(waitEnded); });
    } catch (const std::system_error&) {
        return;  // the lines are then looked at in turn: no reason to refuse the port
    }
    lines_.setWaitedFor(modemWaiter_->driverWaits());
}

// On the waiting thread. A change is looked at and reported from here, so that it reaches the
// window with one thread switch fewer; the worker looks again a moment later, for edges that
// came while the wait was entered anew (and for this one, should this look have failed). Once
// the wait has ended, the worker looks by itself.
void SystemPortWorker::onWaiterWoke(bool waitEnded) {
    if (waitEnded) {
        askToLook();
    } else if (!loss_.lost()) {
        lines_.look();
        armSettleLook();
    }
}

void SystemPortWorker::armSettleLook() {
    const long ms = lines_.settleMs();
    itimerspec when{};
    when.it_value.tv_sec = ms / 1000;
    when.it_value.tv_nsec = ms % 1000 * 1'000'000L;
    // Without the timer the worker times the look itself, woken now.
    if (!settleTimer_.valid() || ::timerfd_settime(settleTimer_.get(), 0, &when, nullptr) != 0)
        wake();
}

SystemPortWorker::~SystemPortWorker() {
    stopping_ = true;
    wake();
    thread_.join();
    modemWaiter_.reset();
    loss_.setOnReported({});
}

void SystemPortWorker::run() {
    while (!stopping_.load()) {
        if (loss_.lost()) {
            waitForWake(-1);  // nothing left to watch; only closing ends this
            continue;
        }
        const short events = POLLIN | (transmit_.pending() ? POLLOUT : 0);
        // An invalid timer's descriptor is negative, which poll() passes over.
        pollfd fds[3] = {
            {tty_.fd(), events, 0}, {wakeFd_.get(), POLLIN, 0}, {settleTimer_.get(), POLLIN, 0}};
        const int ready = ::poll(fds, 3, lines_.nextLookMs());
        wakeups_.fetch_add(1, std::memory_order_relaxed);
        if (ready < 0) {
            if (errno != EINTR)
                loss_.report();
            continue;
        }
        const bool woken = fds[1].revents != 0;
        if (woken)
            drainWake();
        const bool settling = fds[2].revents != 0;
        if (settling)
            drainSettleTimer();
        // Once the driver's wait has ended, only looking at the lines sees them.
        if (modemWaiter_ && !modemWaiter_->waiting())
            lines_.setWaitedFor(false);
        if (stopping_.load())
            break;

        const short seen = fds[0].revents;
        if (seen & POLLIN)
            input_.readAvailable();
        if ((seen & POLLOUT) && !loss_.lost())
            transmit_.flush();
        // Sending alone moves no line: output room is no reason to look.
        const bool asked = lookAsked_.exchange(false);
        const bool lookNow = ready == 0 || asked || settling || (seen & POLLIN);
        if (lookNow && lines_.watching() && !loss_.lost())
            lines_.look();
        loss_.reportIfHungUp(seen);
    }
}

void SystemPortWorker::waitForWake(int timeoutMs) {
    pollfd fd{wakeFd_.get(), POLLIN, 0};
    if (::poll(&fd, 1, timeoutMs) > 0)
        drainWake();
}

void SystemPortWorker::wake() {
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = ::write(wakeFd_.get(), &one, sizeof one);
}

void SystemPortWorker::askToLook() {
    lookAsked_ = true;
    wake();
}

void SystemPortWorker::drainWake() {
    std::uint64_t count = 0;
    [[maybe_unused]] const ssize_t n = ::read(wakeFd_.get(), &count, sizeof count);
}

void SystemPortWorker::drainSettleTimer() {
    std::uint64_t expirations = 0;
    [[maybe_unused]] const ssize_t n = ::read(settleTimer_.get(), &expirations, sizeof expirations);
}

void SystemPortWorker::settingsChanged(const LineSettings& settings, bool termiosReplaced) {
    input_.setParityEnabled(settings.parity != LineSettings::Parity::None);
    // A new termios may have switched the driver's modem-status interrupts off: entering the
    // wait again switches them back on.
    if (termiosReplaced && modemWaiter_)
        modemWaiter_->rearm();
}

void SystemPortWorker::outputLinesChanged() {
    if (lines_.watching())
        askToLook();
}

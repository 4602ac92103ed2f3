#include "system_port_worker.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <system_error>

#include "comm_event.h"

namespace {

// A tty that keeps saying "readable" but yields nothing this many times in a row is dead;
// giving up on it beats spinning.
constexpr int kMaxEmptyReadableWakes = 64;
constexpr int kReadChunk = 4096;
constexpr int kMaxChunksPerWake = 16;

}  // namespace

SystemPortWorker::SystemPortWorker(SystemTty& tty, ReceiveBuffer& receive, DeviceEventSink& sink,
                                   DeviceLoss& loss, const LineSettings& settings, Options options)
    : tty_(tty), receive_(receive), sink_(sink), loss_(loss), options_(options) {
    settingsChanged(settings);

    LineSnapshot probe;
    hasCounters_ = tty_.readCounters(probe.counters) == 0;
    hasLevels_ = tty_.readLevels(probe.levels) == 0;
    // The lines just set at opening may still sit in the UART's change bits; a settled
    // baseline keeps them from coming out as events. A failed read only leaves parts out.
    LineSnapshot baseline;
    readSnapshot(baseline, nullptr);
    tracker_ = LineEventTracker(baseline);
    watchingLines_ = hasCounters_ || hasLevels_ || options_.forceLineWatch;
    lastLineActivity_ = std::chrono::steady_clock::now();  // the port just changed state

    wakeFd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wakeFd_ < 0)
        throw CommError(
            CommErrors::OpenFailed,
            describeSystemError(QStringLiteral("Preparing to watch"), tty_.path(), errno));
    // A loss reported from another thread wakes the worker, so that it stops watching.
    loss_.setOnReported([this] { wake(); });
    try {
        thread_ = std::thread(&SystemPortWorker::run, this);
    } catch (const std::system_error& e) {
        loss_.setOnReported({});
        ::close(wakeFd_);
        throw CommError(CommErrors::OpenFailed,
                        describeSystemError(QStringLiteral("Starting the watch of"), tty_.path(),
                                            e.code().value()));
    }
    if (hasLevels_) {
        try {
            modemWaiter_ = std::make_unique<ModemStatusWaiter>(tty_.fd(), [this] {
                inputLinesChanged_ = true;
                wake();
            });
        } catch (const std::system_error&) {
            // Without the driver's wait the lines are still looked at; edges some drivers
            // do not count may then be missed, which is no reason to refuse the port.
        }
    }
}

SystemPortWorker::~SystemPortWorker() {
    modemWaiter_.reset();  // it wakes this worker, so it goes first
    stopping_ = true;
    wake();
    thread_.join();
    loss_.setOnReported({});
    ::close(wakeFd_);
}

void SystemPortWorker::run() {
    while (!stopping_.load()) {
        if (loss_.lost()) {
            waitForWake(-1);  // nothing left to watch; only closing ends this
            continue;
        }
        const short events = POLLIN | (transmitPending() ? POLLOUT : 0);
        pollfd fds[2] = {{tty_.fd(), events, 0}, {wakeFd_, POLLIN, 0}};
        const int ready = ::poll(fds, 2, pollTimeoutMs());
        wakeups_.fetch_add(1, std::memory_order_relaxed);
        if (ready < 0) {
            if (errno != EINTR)
                loss_.report();
            continue;
        }
        if (fds[1].revents)
            drainWake();
        if (stopping_.load())
            break;
        if (outputLinesChanged_.exchange(false) | inputLinesChanged_.exchange(false))
            lastLineActivity_ = std::chrono::steady_clock::now();

        const short seen = fds[0].revents;
        if (seen & POLLIN)
            readInput();
        if ((seen & POLLOUT) && !loss_.lost())
            flushTransmit();
        if (watchingLines_ && !loss_.lost())
            watchLines();
        loss_.reportIfHungUp(seen);
    }
}

int SystemPortWorker::pollTimeoutMs() const {
    if (!watchingLines_)
        return -1;
    const auto quietFor = std::chrono::steady_clock::now() - lastLineActivity_;
    return quietFor < std::chrono::milliseconds(kQuietAfterMs) ? kBusyPollMs : options_.quietPollMs;
}

void SystemPortWorker::waitForWake(int timeoutMs) {
    pollfd fd{wakeFd_, POLLIN, 0};
    if (::poll(&fd, 1, timeoutMs) > 0)
        drainWake();
}

void SystemPortWorker::wake() {
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = ::write(wakeFd_, &one, sizeof one);
}

void SystemPortWorker::drainWake() {
    std::uint64_t count = 0;
    [[maybe_unused]] const ssize_t n = ::read(wakeFd_, &count, sizeof count);
}

void SystemPortWorker::settingsChanged(const LineSettings& settings) {
    parityEnabled_ = settings.parity != LineSettings::Parity::None;
    // A new termios may have switched the driver's modem-status interrupts off.
    if (modemWaiter_)
        modemWaiter_->rearm();
}

void SystemPortWorker::outputLinesChanged() {
    outputLinesChanged_ = true;
    if (watchingLines_)
        wake();
}

void SystemPortWorker::readInput() {
    char chunk[kReadChunk];
    bool gotData = false;
    for (int i = 0; i < kMaxChunksPerWake; ++i) {
        const ssize_t n = ::read(tty_.fd(), chunk, sizeof chunk);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && loss_.reportIfGone(errno))
            return;
        // With VMIN and VTIME 0 an empty tty reads as 0 bytes rather than EAGAIN.
        if (n <= 0)
            break;
        gotData = true;
        deliver(chunk, n);
        if (n < kReadChunk)
            break;
    }
    emptyReadableWakes_ = gotData ? 0 : emptyReadableWakes_ + 1;
    if (emptyReadableWakes_ >= kMaxEmptyReadableWakes)
        loss_.report();
}

void SystemPortWorker::deliver(const char* bytes, qsizetype size) {
    decoded_.resize(0);
    marks_.clear();
    decoder_.decode(bytes, size, decoded_, marks_);
    // Where the kernel counts line errors, the counters report them; the markers then
    // only fix up the data.
    if (!hasCounters_) {
        const short badByte = parityEnabled_.load() ? CommEvents::Parity : CommEvents::Framing;
        for (const auto mark : marks_)
            sink_.portEvent(mark == ParmrkDecoder::Mark::Break ? CommEvents::Break : badByte);
    }
    if (!decoded_.isEmpty() && receive_.append(decoded_))
        sink_.portEvent(CommEvents::ReceiveOverflow);
}

bool SystemPortWorker::transmitPending() {
    std::lock_guard lock(transmitMutex_);
    return !transmit_.isEmpty();
}

void SystemPortWorker::send(const QByteArray& bytes) {
    if (bytes.isEmpty() || loss_.lost())
        return;
    int failure = 0;
    bool dropped = false;
    bool wakeWorker = false;
    {
        std::lock_guard lock(transmitMutex_);
        qsizetype sent = 0;
        // Bytes may go straight to the kernel only when none are queued ahead of them.
        while (transmit_.isEmpty() && sent < bytes.size()) {
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
            const qsizetype kept =
                std::min<qsizetype>(rest, kTransmitBufferSize - transmit_.size());
            wakeWorker = transmit_.isEmpty() && kept > 0;
            transmit_.append(bytes.constData() + sent, kept);
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
        wake();  // so that it starts waiting for room on the line
    if (dropped)
        sink_.portEvent(CommEvents::TransmitFull);
}

void SystemPortWorker::flushTransmit() {
    int failure = 0;
    {
        std::lock_guard lock(transmitMutex_);
        if (transmit_.isEmpty())
            return;
        const ssize_t n = ::write(tty_.fd(), transmit_.constData(), transmit_.size());
        if (n > 0) {
            transmit_.remove(0, n);
        } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
            failure = errno;
            transmit_.clear();  // nobody to tell from here; retrying would spin
        }
    }
    loss_.reportIfGone(failure);
}

void SystemPortWorker::watchLines() {
    LineSnapshot now;
    if (const int err = readSnapshot(now, &tracker_.previous())) {
        loss_.reportIfGone(err);
        return;
    }
    events_.clear();
    tracker_.update(now, events_);
    if (!events_.empty())
        lastLineActivity_ = std::chrono::steady_clock::now();
    for (const short code : events_)
        sink_.portEvent(code);
}

int SystemPortWorker::readSnapshot(LineSnapshot& snapshot, const LineSnapshot* previous) {
    if (const int err = readCounters(snapshot))
        return err;
    if (const int err = readLevels(snapshot))
        return err;
    if (!snapshot.hasCounters || (previous && snapshot == *previous))
        return 0;
    // Something moved. The levels must belong to the counters, or an edge counted between
    // the two reads would be seen twice (some drivers even count while reading the levels):
    // read the counters again until they hold still.
    for (int attempt = 0; attempt < 3; ++attempt) {
        LineSnapshot again;
        if (const int err = readCounters(again))
            return err;
        if (!again.hasCounters || again.counters == snapshot.counters)
            return 0;
        snapshot.counters = again.counters;
        if (const int err = readLevels(snapshot))
            return err;
    }
    return 0;
}

int SystemPortWorker::readCounters(LineSnapshot& snapshot) {
    if (!hasCounters_ && !options_.forceLineWatch)
        return 0;
    const int err = tty_.readCounters(snapshot.counters);
    snapshot.hasCounters = err == 0;
    return isUnsupportedIoctl(err) ? 0 : err;
}

int SystemPortWorker::readLevels(LineSnapshot& snapshot) {
    if (!hasLevels_ && !options_.forceLineWatch)
        return 0;
    const int err = tty_.readLevels(snapshot.levels);
    snapshot.hasLevels = err == 0;
    return isUnsupportedIoctl(err) ? 0 : err;
}

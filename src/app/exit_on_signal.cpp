#include "exit_on_signal.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>

namespace {

constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};
int signalPipe = -1;  // the write end, for the handler

void setAction(void (*action)(int)) {
    struct sigaction how {};
    how.sa_handler = action;
    sigemptyset(&how.sa_mask);
    how.sa_flags = SA_RESTART;
    for (int signal : kSignals)
        ::sigaction(signal, &how, nullptr);
}

// Async-signal-safe calls only.
void onSignal(int signal) {
    const int savedErrno = errno;
    setAction(SIG_DFL);
    const char number = static_cast<char>(signal);
    (void)!::write(signalPipe, &number, 1);
    errno = savedErrno;
}

}  // namespace

ExitOnSignal::ExitOnSignal() {
    int ends[2] = {-1, -1};
    if (::pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0)
        return;  // the default actions stay: the program still ends, if less tidily
    readEnd_.reset(ends[0]);
    writeEnd_.reset(ends[1]);
    signalPipe = writeEnd_.get();
    notifier_ = std::make_unique<QSocketNotifier>(readEnd_.get(), QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] { deliver(); });
    setAction(onSignal);
}

ExitOnSignal::~ExitOnSignal() {
    setAction(SIG_DFL);
    notifier_.reset();
    signalPipe = -1;  // before the pipe closes with the members
}

void ExitOnSignal::deliver() {
    char number = 0;
    while (::read(readEnd_.get(), &number, 1) == 1)
        if (handler_)
            handler_(number);
}

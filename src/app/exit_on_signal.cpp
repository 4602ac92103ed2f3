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
    if (::pipe2(pipe_, O_CLOEXEC | O_NONBLOCK) != 0)
        return;  // the default actions stay: the program still ends, if less tidily
    signalPipe = pipe_[1];
    notifier_ = std::make_unique<QSocketNotifier>(pipe_[0], QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] { deliver(); });
    setAction(onSignal);
}

ExitOnSignal::~ExitOnSignal() {
    setAction(SIG_DFL);
    notifier_.reset();
    signalPipe = -1;
    for (int end : pipe_)
        if (end >= 0)
            ::close(end);
}

void ExitOnSignal::deliver() {
    char number = 0;
    while (::read(pipe_[0], &number, 1) == 1)
        if (handler_)
            handler_(number);
}

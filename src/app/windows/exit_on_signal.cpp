#include "exit_on_signal.h"

#include <windows.h>

#include <QCoreApplication>
#include <QMetaObject>
#include <atomic>
#include <csignal>

// Windows sends a window program no SIGTERM or SIGHUP; the console's control events stand for
// them: Ctrl+C for SIGINT; Ctrl+Break, closing the console, logging off and shutting down for
// SIGTERM. The handler runs on a thread of its own and hands the event to the event loop.
namespace {

std::atomic<ExitOnSignal*> current{nullptr};
std::atomic<int> pendingSignal{0};
void (*deliverPending)() = nullptr;

BOOL WINAPI onControlEvent(DWORD controlEvent) {
    // A second event ends the program at once, as the default action does.
    const int signal = controlEvent == CTRL_C_EVENT ? SIGINT : SIGTERM;
    int none = 0;
    if (!current.load() || !pendingSignal.compare_exchange_strong(none, signal))
        return FALSE;
    QMetaObject::invokeMethod(QCoreApplication::instance(), deliverPending, Qt::QueuedConnection);
    return TRUE;
}

}  // namespace

ExitOnSignal::ExitOnSignal() {
    deliverPending = [] {
        if (ExitOnSignal* receiver = current.load())
            receiver->deliver();
    };
    pendingSignal = 0;
    current = this;
    SetConsoleCtrlHandler(onControlEvent, TRUE);
}

ExitOnSignal::~ExitOnSignal() {
    SetConsoleCtrlHandler(onControlEvent, FALSE);
    current = nullptr;
}

void ExitOnSignal::deliver() {
    // Left set: the events after the first one take the default action.
    if (handler_)
        handler_(pendingSignal.load());
}

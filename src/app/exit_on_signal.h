#pragma once

#include <QSocketNotifier>
#include <functional>
#include <memory>

#ifndef _WIN32
#include "unique_fd.h"
#endif

// Brings SIGTERM, SIGINT and SIGHUP to the event loop, where the program can close its window
// and with it the port, as the user would: a signal's handler may do next to nothing itself.
// The first of them restores the default actions, so a second one ends the program at once.
// One at a time; destroying it restores the default actions.
class ExitOnSignal {
public:
    ExitOnSignal();
    ~ExitOnSignal();
    ExitOnSignal(const ExitOnSignal&) = delete;
    ExitOnSignal& operator=(const ExitOnSignal&) = delete;

    // Runs on the event loop with the signal's number.
    void setHandler(std::function<void(int signal)> handler) { handler_ = std::move(handler); }

private:
    void deliver();

#ifndef _WIN32
    UniqueFd readEnd_;  // the self-pipe that signal handlers write to
    UniqueFd writeEnd_;
#endif
    std::unique_ptr<QSocketNotifier> notifier_;
    std::function<void(int)> handler_;
};

#pragma once

#include <atomic>
#include <functional>
#include <thread>

// Waits in the driver for a change of the modem input lines (TIOCMIWAIT) and reports each.
// Waiting also matters on its own: 8250-class drivers leave modem-status interrupts off
// under CLOCAL without flow control, and switch them on for the wait. With them on, the
// kernel's counters count every edge, however short, and a change wakes the watcher at
// once instead of at its next look.
//
// The wait can only be left by a change or a signal, so stopping and re-arming interrupt
// the waiting thread with one (its handler does nothing).
class ModemStatusWaiter {
public:
    // Starts waiting on fd; onChange(false) runs on the waiting thread after every change, and
    // onChange(true) once when the waiting ends for any reason but stopping.
    ModemStatusWaiter(int fd, std::function<void(bool ended)> onChange);
    // Interrupts the wait and joins the thread.
    ~ModemStatusWaiter();
    ModemStatusWaiter(const ModemStatusWaiter&) = delete;
    ModemStatusWaiter& operator=(const ModemStatusWaiter&) = delete;

    // A termios change switches the interrupts off again: wait anew to switch them back on.
    void rearm();
    // False once the driver has said it offers no such wait (or the device went away).
    bool waiting() const { return !finished_.load(); }
    // Gives the driver a moment to refuse the first wait, and says whether it is waiting.
    // A driver without the wait refuses at once; one with it keeps the thread inside.
    bool driverWaits();

private:
    void run();
    void interrupt();

    const int fd_;
    std::function<void(bool ended)> onChange_;
    std::atomic<bool> stopping_{false};
    std::atomic<bool> entered_{false};
    std::atomic<bool> finished_{false};
    std::thread thread_;  // last: starts after everything above is ready
};

#pragma once

#include <QByteArray>
#include <atomic>
#include <memory>
#include <thread>

#include "device_loss.h"
#include "input_reader.h"
#include "line_settings.h"
#include "line_watcher.h"
#include "receive_buffer.h"
#include "serial_device.h"
#include "system_modem_waiter.h"
#include "system_tty.h"
#include "transmit_queue.h"
#include "unique_fd.h"

// The thread that serves an open tty: one poll loop that wakes when input arrives, when the
// line has room for buffered output, when it is time to look at the modem lines, and when
// another thread asks. It reads input, sends the transmit buffer, watches the lines and
// hands the signs of a vanished device to the device's loss. Where the driver waits for line
// changes, the waiting thread reports each change itself: the worker only times the look
// that follows. It touches no Qt objects; everything leaves it through the sink.
class SystemPortWorker {
public:
    // The pace of looks at the modem lines where the driver offers no wait.
    static constexpr int kPollMs = LineWatcher::kPollMs;
    using Options = LineWatcher::Options;

    // Takes the present line state as the baseline and starts the thread.
    SystemPortWorker(SystemTty& tty, ReceiveBuffer& receive, DeviceEventSink& sink,
                     DeviceLoss& loss, const LineSettings& settings, Options options);
    // Stops the thread promptly and joins it.
    ~SystemPortWorker();
    SystemPortWorker(const SystemPortWorker&) = delete;
    SystemPortWorker& operator=(const SystemPortWorker&) = delete;

    // From the user-interface thread. Sends what the line takes now and buffers the rest;
    // bytes that find the transmit buffer full are dropped with one transmit-full event.
    void send(const QByteArray& bytes) { transmit_.send(bytes); }
    // `termiosReplaced`: a tcsetattr ran, which may have switched line reporting off.
    void settingsChanged(const LineSettings& settings, bool termiosReplaced);
    // The output lines were switched: on a loopback the inputs follow, so look at once.
    void outputLinesChanged();
    // How faithfully each input line is seen now; from any thread.
    PortFidelity fidelity(const DriverTraits& traits, int reportIntervalMs) const {
        return lines_.fidelity(traits, reportIntervalMs);
    }
    // How often the thread has woken up so far.
    quint64 wakeups() const { return wakeups_.load(std::memory_order_relaxed); }

private:
    void startWaiter();
    void run();
    void waitForWake(int timeoutMs);
    void wake();
    void askToLook();
    void onWaiterWoke(bool waitEnded);
    void armSettleLook();
    void drainWake();
    void drainSettleTimer();

    SystemTty& tty_;
    DeviceLoss& loss_;
    UniqueFd wakeFd_;  // outlives every member that may wake the thread
    // Times the look that follows a change the waiting thread reported, without waking the
    // worker meanwhile: the window's thread is to run first. Invalid where none could be had.
    UniqueFd settleTimer_;

    LineWatcher lines_;  // first: the others depend on what the device offers
    InputReader input_;
    TransmitQueue transmit_;

    std::atomic<bool> stopping_{false};
    std::atomic<bool> lookAsked_{false};
    std::atomic<quint64> wakeups_{0};
    std::unique_ptr<ModemStatusWaiter> modemWaiter_;  // on devices with modem lines only
    std::thread thread_;                              // starts after everything above is ready
};

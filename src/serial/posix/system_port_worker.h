#pragma once

#include <QByteArray>
#include <QString>
#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "device_loss.h"
#include "line_settings.h"
#include "parmrk_decoder.h"
#include "receive_buffer.h"
#include "serial_device.h"
#include "system_line_events.h"
#include "system_modem_waiter.h"
#include "system_tty.h"

// The thread that serves an open tty: it reads and decodes input into the receive buffer,
// sends what the transmit buffer holds as the line takes it, watches the modem lines and
// the kernel's error counters, and tells the device's loss when the device goes away. It
// touches no Qt objects; everything leaves it through the sink.
class SystemPortWorker {
public:
    // Longest wait between two looks at the modem lines: while they are busy, and once they
    // have been quiet for kQuietAfterMs. A wake-up costs tens of microseconds in a virtual
    // machine, so idle lines are looked at less often. Where the driver counts edges no
    // pulse is lost between looks, and where it offers a wait for line changes (real UARTs)
    // a change wakes the worker at once; where only the levels show, a pulse shorter than
    // the wait is lost.
    static constexpr int kBusyPollMs = 2;
    static constexpr int kQuietPollMs = 20;
    static constexpr int kQuietAfterMs = 1000;

    struct Options {
        // Look at the lines on every timeout even where the device has none, to measure
        // what watching a real UART costs.
        bool forceLineWatch = false;
        int quietPollMs = kQuietPollMs;
    };

    // Takes the present line state as the baseline and starts the thread.
    SystemPortWorker(SystemTty& tty, ReceiveBuffer& receive, DeviceEventSink& sink,
                     DeviceLoss& loss, const LineSettings& settings, Options options);
    // Stops the thread promptly and joins it.
    ~SystemPortWorker();
    SystemPortWorker(const SystemPortWorker&) = delete;
    SystemPortWorker& operator=(const SystemPortWorker&) = delete;

    // From the user-interface thread. Sends what the line takes now and buffers the rest;
    // bytes that find the transmit buffer full are dropped with one transmit-full event.
    void send(const QByteArray& bytes);
    void settingsChanged(const LineSettings& settings);
    // The output lines were switched: on a loopback the inputs follow, so look closely.
    void outputLinesChanged();
    // How often the thread has woken up so far.
    quint64 wakeups() const { return wakeups_.load(std::memory_order_relaxed); }

private:
    void run();
    int pollTimeoutMs() const;
    void waitForWake(int timeoutMs);
    void wake();
    void drainWake();
    bool transmitPending();
    void readInput();
    void deliver(const char* bytes, qsizetype size);
    void flushTransmit();
    void watchLines();
    // These return 0 or the errno of a failed ioctl; parts the device lacks are left out.
    // With `previous` given, an unchanged look is taken as it is.
    int readSnapshot(LineSnapshot& snapshot, const LineSnapshot* previous);
    int readCounters(LineSnapshot& snapshot);
    int readLevels(LineSnapshot& snapshot);

    SystemTty& tty_;
    ReceiveBuffer& receive_;
    DeviceEventSink& sink_;
    DeviceLoss& loss_;
    const Options options_;
    int wakeFd_ = -1;

    // Set once at start: what the device offers.
    bool hasCounters_ = false;
    bool hasLevels_ = false;
    bool watchingLines_ = false;

    // Worker-thread state.
    ParmrkDecoder decoder_;
    LineEventTracker tracker_{LineSnapshot{}};
    QByteArray decoded_;
    std::vector<ParmrkDecoder::Mark> marks_;
    std::vector<short> events_;
    int emptyReadableWakes_ = 0;
    std::chrono::steady_clock::time_point lastLineActivity_;

    std::mutex transmitMutex_;
    QByteArray transmit_;  // guarded by transmitMutex_

    std::atomic<bool> parityEnabled_{false};
    std::atomic<bool> stopping_{false};
    std::atomic<bool> outputLinesChanged_{false};
    std::atomic<bool> inputLinesChanged_{false};  // the driver's wait saw a change
    std::atomic<quint64> wakeups_{0};
    std::thread thread_;                              // starts after everything above is ready
    std::unique_ptr<ModemStatusWaiter> modemWaiter_;  // on devices with modem lines only
};

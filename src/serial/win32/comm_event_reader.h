#pragma once

#include <cstdint>
#include <mutex>

#include "comm_calls.h"
#include "comm_loss.h"
#include "receive_buffer.h"
#include "serial_device.h"

// Turns what WaitCommEvent reports into the control's events, one call per report, on the
// thread that waits. The driver reports that a line changed, not how often: pulses between
// two reports merge, and DSR's fall is told from the level it had and has.
class CommEventReader {
public:
    CommEventReader(CommCalls& calls, ReceiveBuffer& receive, DeviceEventSink& sink,
                    CommLoss& loss);

    // Learns the DSR level, before the first wait.
    void start();
    // One report's EV_* mask: line changes first, then line errors and the received bytes.
    void handle(std::uint32_t mask);
    // What the waiting thread does after a wait failed.
    enum class AfterFailure {
        Retry,              // the port still answers: wait again
        WithoutModemLines,  // the port cannot wait for line changes: wait for the rest
        Stop,               // the device is gone, or keeps failing (reported)
    };
    // A wait that failed with `error`. Whether the device is gone is asked of the port itself:
    // some drivers (and Wine) abort a wait now and then while the port works on.
    AfterFailure waitFailed(std::uint32_t error);
    // Moves what the driver holds into the receive buffer; any thread may call it.
    void readReceived();

    // In a row, the failed waits after which the port counts as gone rather than busy.
    static constexpr int kMaxFailedWaits = 64;

private:
    void reportLineChanges(std::uint32_t mask);
    void reportErrorFlags(std::uint32_t flags);
    bool dsrFell();

    CommCalls& calls_;
    ReceiveBuffer& receive_;
    DeviceEventSink& sink_;
    CommLoss& loss_;
    std::mutex readMutex_;
    bool dsrOn_ = false;
    int failedWaits_ = 0;
};

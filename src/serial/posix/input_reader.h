#pragma once

#include <QByteArray>
#include <atomic>
#include <vector>

#include "device_loss.h"
#include "parmrk_decoder.h"
#include "receive_buffer.h"
#include "serial_device.h"
#include "system_tty.h"

// Reads what the tty received, resolves the kernel's markers of bad bytes and breaks, and
// puts the data into the receive buffer. Runs on the worker thread, except where noted.
class InputReader {
public:
    // Where the kernel counts line errors (`kernelCountsErrors`), the counters report them
    // and the markers only fix up the data; elsewhere each marker raises its event.
    InputReader(SystemTty& tty, ReceiveBuffer& receive, DeviceEventSink& sink, DeviceLoss& loss,
                bool kernelCountsErrors);

    // From any thread: with parity on a bad byte is a parity error, else a framing error.
    void setParityEnabled(bool on) { parityEnabled_ = on; }
    // Reads what the tty holds, a bounded amount at a time.
    void readAvailable();

private:
    void deliver(const char* bytes, qsizetype size);

    SystemTty& tty_;
    ReceiveBuffer& receive_;
    DeviceEventSink& sink_;
    DeviceLoss& loss_;
    const bool reportMarks_;

    ParmrkDecoder decoder_;
    QByteArray decoded_;
    std::vector<ParmrkDecoder::Mark> marks_;
    int emptyReadableWakes_ = 0;
    std::atomic<bool> parityEnabled_{false};
};

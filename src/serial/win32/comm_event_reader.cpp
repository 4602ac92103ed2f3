#include "comm_event_reader.h"

#include <algorithm>

#include "comm_event.h"
#include "comm_flags.h"

namespace {

constexpr std::uint32_t kReadChunk = 4096;
// Enough for a full receive buffer; a flood beyond it waits for the next report.
constexpr int kMaxChunksPerRead = 4;

}  // namespace

CommEventReader::CommEventReader(CommCalls& calls, ReceiveBuffer& receive, DeviceEventSink& sink,
                                 CommLoss& loss)
    : calls_(calls), receive_(receive), sink_(sink), loss_(loss) {}

void CommEventReader::start() {
    std::uint32_t bits = 0;
    dsrOn_ = calls_.modemStatus(bits) == 0 && (bits & CommFlags::DsrOn);
}

void CommEventReader::handle(std::uint32_t mask) {
    failedWaits_ = 0;
    reportLineChanges(mask);
    if (loss_.lost())
        return;
    // Reading the received bytes asks for the error flags as well.
    if (mask & (CommFlags::Err | CommFlags::Break | CommFlags::RxChar))
        readReceived();
}

CommEventReader::AfterFailure CommEventReader::waitFailed(std::uint32_t error) {
    if (WinErrors::meansNoModemLines(error))
        return AfterFailure::WithoutModemLines;
    std::uint32_t flags = 0;
    std::uint32_t waiting = 0;
    const std::uint32_t stillThere = calls_.clearErrors(flags, waiting);
    if (stillThere == 0) {
        failedWaits_ = 0;
        reportErrorFlags(flags);
        return AfterFailure::Retry;
    }
    if (loss_.reportIfGone(stillThere) || loss_.reportIfGone(error))
        return AfterFailure::Stop;
    if (++failedWaits_ < kMaxFailedWaits)
        return AfterFailure::Retry;
    loss_.report();
    return AfterFailure::Stop;
}

void CommEventReader::reportLineChanges(std::uint32_t mask) {
    if (mask & CommFlags::Cts)
        sink_.portEvent(CommEvents::CtsChanged);
    if ((mask & CommFlags::Dsr) && dsrFell() && !loss_.lost())
        sink_.portEvent(CommEvents::DsrFell);
    if (mask & CommFlags::Rlsd)
        sink_.portEvent(CommEvents::CdChanged);
    if (mask & CommFlags::Ring)
        sink_.portEvent(CommEvents::Ring);
}

bool CommEventReader::dsrFell() {
    const bool wasOn = dsrOn_;
    std::uint32_t bits = 0;
    const std::uint32_t error = calls_.modemStatus(bits);
    if (error != 0) {
        loss_.reportIfGone(error);
        dsrOn_ = false;
        return wasOn;
    }
    dsrOn_ = bits & CommFlags::DsrOn;
    // On again after a change: it fell and rose between two reports.
    return !dsrOn_ || wasOn;
}

void CommEventReader::reportErrorFlags(std::uint32_t flags) {
    // A break is told by its flag rather than by EV_BREAK, so that either thread that clears
    // the flag tells it, once. To most UARTs it is a character with a framing error as well:
    // it is one event, a break.
    const bool brk = flags & CommFlags::BreakSeen;
    if (brk)
        sink_.portEvent(CommEvents::Break);
    if ((flags & CommFlags::Frame) && !brk)
        sink_.portEvent(CommEvents::Framing);
    if (flags & CommFlags::Overrun)
        sink_.portEvent(CommEvents::Overrun);
    if (flags & CommFlags::RxOver)
        sink_.portEvent(CommEvents::ReceiveOverflow);
    if (flags & CommFlags::RxParity)
        sink_.portEvent(CommEvents::Parity);
}

void CommEventReader::readReceived() {
    std::lock_guard lock(readMutex_);
    for (int i = 0; i < kMaxChunksPerRead && !loss_.lost(); ++i) {
        std::uint32_t flags = 0;
        std::uint32_t waiting = 0;
        std::uint32_t error = calls_.clearErrors(flags, waiting);
        if (error != 0) {
            loss_.reportIfGone(error);
            return;
        }
        reportErrorFlags(flags);
        if (waiting == 0)
            return;
        QByteArray bytes;
        error = calls_.read(bytes, static_cast<int>(std::min<std::uint32_t>(waiting, kReadChunk)));
        if (error != 0) {
            loss_.reportIfGone(error);
            return;
        }
        if (bytes.isEmpty())
            return;
        if (receive_.append(bytes))
            sink_.portEvent(CommEvents::ReceiveOverflow);
    }
}

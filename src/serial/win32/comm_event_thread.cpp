#include "comm_event_thread.h"

#include <windows.h>

#include "comm_flags.h"

namespace {

// After a failed wait, so that a port that keeps failing does not spin.
constexpr DWORD kRetryPauseMs = 20;
// How often a port that cannot wait at all is looked at.
constexpr DWORD kPollMs = 20;
constexpr DWORD kWithoutModemLines = CommFlags::Watched & ~CommFlags::ModemLines;

}  // namespace

CommEventThread::CommEventThread(Handle port, CommEventReader& reader)
    : port_(port), reader_(reader) {
    reader_.start();
    thread_ = std::thread([this] { run(); });
}

CommEventThread::~CommEventThread() {
    SetEvent(stop_.handle());
    thread_.join();
}

void CommEventThread::run() {
    DWORD watched = CommFlags::Watched;
    SetCommMask(port_, watched);
    for (;;) {
        unsigned long mask = 0;
        unsigned long error = 0;
        if (!waitOnce(mask, error))
            return;
        if (error == 0) {
            reader_.handle(mask);
            continue;
        }
        switch (reader_.waitFailed(error)) {
            case CommEventReader::AfterFailure::Stop:
                return;
            case CommEventReader::AfterFailure::WithoutModemLines:
                if (watched == kWithoutModemLines)
                    return poll();
                watched = kWithoutModemLines;
                SetCommMask(port_, watched);
                break;
            case CommEventReader::AfterFailure::Retry:
                if (WaitForSingleObject(stop_.handle(), kRetryPauseMs) == WAIT_OBJECT_0)
                    return;
                break;
        }
    }
}

void CommEventThread::poll() {
    while (WaitForSingleObject(stop_.handle(), kPollMs) == WAIT_TIMEOUT)
        reader_.handle(CommFlags::RxChar | CommFlags::Err);
}

bool CommEventThread::waitOnce(unsigned long& mask, unsigned long& error) {
    OVERLAPPED overlapped{};
    overlapped.hEvent = eventSeen_.handle();
    ResetEvent(eventSeen_.handle());
    DWORD seen = 0;
    if (WaitCommEvent(port_, &seen, &overlapped)) {
        mask = seen;
        return WaitForSingleObject(stop_.handle(), 0) != WAIT_OBJECT_0;
    }
    error = GetLastError();
    if (error != ERROR_IO_PENDING)
        return WaitForSingleObject(stop_.handle(), 0) != WAIT_OBJECT_0;

    const HANDLE events[] = {eventSeen_.handle(), stop_.handle()};
    DWORD transferred = 0;
    if (WaitForMultipleObjects(2, events, FALSE, INFINITE) != WAIT_OBJECT_0) {
        // The wait must be over before `seen` and `overlapped` go out of scope.
        CancelIoEx(port_, &overlapped);
        GetOverlappedResult(port_, &overlapped, &transferred, TRUE);
        return false;
    }
    error = GetOverlappedResult(port_, &overlapped, &transferred, FALSE) ? 0 : GetLastError();
    mask = seen;
    return true;
}

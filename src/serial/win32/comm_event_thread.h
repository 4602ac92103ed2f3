#pragma once

#include <thread>

#include "comm_event_reader.h"
#include "win_event.h"

// Waits for the port's events (overlapped WaitCommEvent) on a thread of its own and hands each
// report to the reader, until destroyed or the port is gone.
class CommEventThread {
public:
    using Handle = void*;
    CommEventThread(Handle port, CommEventReader& reader);
    ~CommEventThread();
    CommEventThread(const CommEventThread&) = delete;
    CommEventThread& operator=(const CommEventThread&) = delete;

private:
    void run();
    // For a port that cannot wait for events at all: looks at it every few milliseconds.
    void poll();
    // Waits for one report; false when asked to stop.
    bool waitOnce(unsigned long& mask, unsigned long& error);

    Handle port_;
    CommEventReader& reader_;
    WinEvent stop_;
    WinEvent eventSeen_;
    std::thread thread_;
};

#pragma once

#include <QString>

#include "line_display.h"
#include "serial_port.h"
#include "tester_view.h"

// Logs each port notification at the top of the status list, refreshes the lamps and
// counts it. Every step is guarded: the user may retry it, skip it or abandon the
// notification.
class CommEventLog {
public:
    static constexpr int kMaxLinesBeforeTrim = 2000;
    static inline const QString kProblemTitle = QStringLiteral("Problem!");

    CommEventLog(TesterView& view, SerialPort& port, LineDisplay& lines)
        : view_(view), port_(port), lines_(lines) {}

    // Handles one OnComm notification of the port.
    void handleNotification();
    void LogCommEvent(const short& code);
    static QString CommEventText(const short& code);
    // Empties the status list; the count goes on.
    void clear();

private:
    enum class Step { TakeReference, TestIgnoreRing, TestRing, Log, Refresh, Release, Count };
    enum class Next { Continue, Leave };

    Next runStep(Step& step, SerialPort*& comPort);
    bool askAfterFailure(Step& step);
    void countNotification();

    TesterView& view_;
    SerialPort& port_;
    LineDisplay& lines_;
    bool dialogOpen_ = false;
};

#pragma once

#include <functional>

#include "comm_event_log.h"
#include "error_reporter.h"
#include "line_display.h"
#include "notified_port.h"
#include "output_line_control.h"
#include "port_selection.h"
#include "window_events.h"

// The tester logic behind the main window: routes each window notification to the part
// that handles it, in the order the platform keeps (a notification that arrives during a
// wait runs when the waiting handler lets events run), under the one guard that reports
// what no handler handles. Nothing thrown leaves a notification.
class Tester : public WindowEvents {
public:
    Tester(TesterView& view, SerialPort& port, Platform& platform);

    void Form_Load() override;
    void Combo1_Click() override;
    void Timer1_Timer() override;
    void timLatch_Timer(short index) override;
    void timLatchNot_Timer(short index) override;
    void cmdToggleDTR_Click() override;
    void cmdToggleRTS_Click() override;
    void cmdCycle_Click() override;
    void cmdClearStatus_Click() override;
    void comPort_OnComm() override;
    void comPort_DeviceLost(int number, const QString& description) override;
    void comPort_EventsLost(quint64 total) override;
    void Form_Unload() override;

    // Runs once, right after the first status poll has been handled.
    void afterFirstPoll(std::function<void()> hook) { firstPollHook_ = std::move(hook); }

    LineDisplay& lineDisplay() { return lines_; }
    PortSelection& portSelection() { return selection_; }
    OutputLineControl& outputLines() { return outputs_; }
    CommEventLog& eventLog() { return log_; }
    ErrorReporter& errorReporter() { return reporter_; }

private:
    // Runs the handler now, or once the wait in progress lets events run.
    template <typename Handler>
    void route(Handler&& handler) {
        platform_.notifications().deliver(
            [this, handler = std::forward<Handler>(handler)]() mutable { runGuarded(handler); });
    }
    void runGuarded(const std::function<void()>& handler);
    // The code of the event a port notification tells of, where it is held to run later.
    std::optional<short> eventCodeToKeep() const;
    // The port the box names, where a choice is held to run later.
    std::optional<QString> choiceToKeep() const;

    // The user's own click is answered every time it fails, even with the same failure.
    template <typename Handler>
    void answerClick(const QString& activity, Handler&& handler) {
        reporter_.guard(activity, std::forward<Handler>(handler),
                        ErrorReporter::Repeats::ToldEveryTime);
    }

    TesterView& view_;
    SerialPort& port_;
    Platform& platform_;
    NotifiedPort notifiedPort_;
    LineDisplay lines_;
    PortSelection selection_;
    OutputLineControl outputs_;
    CommEventLog log_;
    ErrorReporter reporter_;
    bool unloading_ = false;
    bool eventsLostTold_ = false;
    std::function<void()> firstPollHook_;
};

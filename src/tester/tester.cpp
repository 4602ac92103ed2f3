#include "tester.h"

#include <utility>

#include "error_info.h"

Tester::Tester(TesterView& view, SerialPort& port, Platform& platform)
    : view_(view),
      port_(port),
      platform_(platform),
      notifiedPort_(port),
      lines_(view, port),
      selection_(view, port, lines_, platform),
      outputs_(view, port, lines_, platform),
      log_(view, notifiedPort_, lines_),
      reporter_(view) {}

void Tester::runGuarded(const std::function<void()>& handler) {
    try {
        handler();
    } catch (...) {
        try {
            reporter_.report(QStringLiteral("handling a window event"), currentErrorInfo());
        } catch (...) {
            // Reporting failed as well; the program goes on regardless.
        }
    }
}

void Tester::Form_Load() {
    route([this] {
        reporter_.guard(QStringLiteral("opening the port at start-up"),
                        [&] { selection_.select(view_.Combo1().Text()); });
    });
}

// A held choice keeps the port the box showed when it was made: by the time it runs, later
// choices may have changed the box.
std::optional<QString> Tester::choiceToKeep() const {
    if (!platform_.notifications().holding())
        return std::nullopt;
    try {
        return view_.Combo1().Text();
    } catch (...) {
        return std::nullopt;  // the handler reads it again, and reports the failure
    }
}

void Tester::Combo1_Click() {
    route([this, kept = choiceToKeep()] {
        // A new choice is a change: failures seen before may be told again.
        reporter_.forgetReported();
        eventsLostTold_ = false;
        answerClick(QStringLiteral("opening the selected port"),
                    [&] { selection_.select(kept ? *kept : view_.Combo1().Text()); });
    });
}

void Tester::Timer1_Timer() {
    route([this] {
        if (unloading_)
            return;
        reporter_.guard(QStringLiteral("checking the port"), [&] { selection_.poll(); });
        if (firstPollHook_)
            std::exchange(firstPollHook_, nullptr)();
    });
}

void Tester::timLatch_Timer(short index) {
    route([this, index] {
        reporter_.guard(QStringLiteral("putting out a latch lamp"),
                        [&] { lines_.putOutLatch(index); });
    });
}

void Tester::timLatchNot_Timer(short index) {
    route([this, index] {
        reporter_.guard(QStringLiteral("putting out a latch lamp"),
                        [&] { lines_.putOutLatchNot(index); });
    });
}

void Tester::cmdToggleDTR_Click() {
    route([this] { answerClick(QStringLiteral("toggling DTR"), [&] { outputs_.toggleDtr(); }); });
}

void Tester::cmdToggleRTS_Click() {
    route([this] { answerClick(QStringLiteral("toggling RTS"), [&] { outputs_.toggleRts(); }); });
}

void Tester::cmdCycle_Click() {
    route(
        [this] { answerClick(QStringLiteral("cycling RTS and DTR"), [&] { outputs_.cycle(); }); });
}

void Tester::cmdClearStatus_Click() {
    route(
        [this] { answerClick(QStringLiteral("clearing the status list"), [&] { log_.clear(); }); });
}

std::optional<short> Tester::eventCodeToKeep() const {
    if (!platform_.notifications().holding())
        return std::nullopt;
    try {
        return port_.CommEvent();
    } catch (...) {
        return std::nullopt;  // the handler reads it again, and reports the failure
    }
}

void Tester::comPort_OnComm() {
    route([this, code = eventCodeToKeep()] {
        if (unloading_)
            return;
        // A notification may run inside another one's box: each sees its own code.
        const std::optional<short> outer = notifiedPort_.eventCode();
        notifiedPort_.setEventCode(code);
        reporter_.guard(QStringLiteral("handling a port event"),
                        [&] { log_.handleNotification(); });
        notifiedPort_.setEventCode(outer);
    });
}

void Tester::comPort_DeviceLost(int number, const QString& description) {
    route([this, number, description] {
        reporter_.guard(QStringLiteral("closing a lost port"), [&] { selection_.deviceLost(); });
        reporter_.tell(QStringLiteral("The port was closed.\r\n Error number: %1\r\n"
                                      "Error description: %2")
                           .arg(number)
                           .arg(description));
    });
}

void Tester::comPort_EventsLost(quint64 total) {
    route([this, total] {
        // A storm that overflows once overflows again: one box says it, until a new selection.
        if (eventsLostTold_)
            return;
        eventsLostTold_ = true;
        reporter_.tell(QStringLiteral("Port events came faster than they could be shown: %1 "
                                      "events were not logged.")
                           .arg(total));
    });
}

// Not held: a run that waits learns of it at once and ends after its wait. What was held
// for the closing window is dropped.
void Tester::Form_Unload() {
    unloading_ = true;
    outputs_.stopRuns();
    platform_.notifications().dropHeld();
}

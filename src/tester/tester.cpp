#include "tester.h"

Tester::Tester(TesterView& view, SerialPort& port, Platform& platform)
    : lines_(view, port),
      selection_(view, port, lines_, platform),
      outputs_(view, port, lines_, platform),
      log_(view, port, lines_),
      reporter_(view) {}

void Tester::Form_Load() {
    reporter_.guard(QStringLiteral("opening the port at start-up"), [&] { selection_.select(); });
}

void Tester::Combo1_Click() {
    // A new choice is a change: failures seen before may be told again.
    reporter_.forgetReported();
    eventsLostTold_ = false;
    answerClick(QStringLiteral("opening the selected port"), [&] { selection_.select(); });
}

void Tester::Timer1_Timer() {
    if (unloading_)
        return;
    reporter_.guard(QStringLiteral("checking the port"), [&] { selection_.poll(); });
    if (firstPollHook_)
        std::exchange(firstPollHook_, nullptr)();
}

void Tester::timLatch_Timer(short index) {
    reporter_.guard(QStringLiteral("putting out a latch lamp"), [&] { lines_.putOutLatch(index); });
}

void Tester::timLatchNot_Timer(short index) {
    reporter_.guard(QStringLiteral("putting out a latch lamp"),
                    [&] { lines_.putOutLatchNot(index); });
}

void Tester::cmdToggleDTR_Click() {
    answerClick(QStringLiteral("toggling DTR"), [&] { outputs_.toggleDtr(); });
}

void Tester::cmdToggleRTS_Click() {
    answerClick(QStringLiteral("toggling RTS"), [&] { outputs_.toggleRts(); });
}

void Tester::cmdCycle_Click() {
    answerClick(QStringLiteral("cycling RTS and DTR"), [&] { outputs_.cycle(); });
}

void Tester::cmdClearStatus_Click() {
    answerClick(QStringLiteral("clearing the status list"), [&] { log_.clear(); });
}

void Tester::comPort_OnComm() {
    if (unloading_)
        return;
    reporter_.guard(QStringLiteral("handling a port event"), [&] { log_.handleNotification(); });
}

void Tester::comPort_DeviceLost(int number, const QString& description) {
    reporter_.guard(QStringLiteral("closing a lost port"), [&] { selection_.deviceLost(); });
    reporter_.tell(QStringLiteral("The port was closed.\r\n Error number: %1\r\n"
                                  "Error description: %2")
                       .arg(number)
                       .arg(description));
}

void Tester::comPort_EventsLost(quint64 total) {
    // A storm that overflows once overflows again: one box says it, until a new selection.
    if (eventsLostTold_)
        return;
    eventsLostTold_ = true;
    reporter_.tell(QStringLiteral("Port events came faster than they could be shown: %1 "
                                  "events were not logged.")
                       .arg(total));
}

void Tester::Form_Unload() {
    unloading_ = true;
    outputs_.stopRuns();
}

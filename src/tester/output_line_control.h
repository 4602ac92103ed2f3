#pragma once

#include "line_display.h"
#include "platform.h"
#include "serial_port.h"
#include "tester_view.h"

// Toggles RTS and DTR by hand, or cycles both a number of times with a pause between.
class OutputLineControl {
public:
    static constexpr short kMaxPasses = 20000;

    OutputLineControl(TesterView& view, SerialPort& port, LineDisplay& lines, Platform& platform)
        : view_(view), port_(port), lines_(lines), platform_(platform) {}

    void toggleDtr();
    void toggleRts();
    // Flips both lines the number of times txtLoop says, pausing txtDelay ms after each pass.
    void cycle();

    // The window is closing: a run in progress stops after its current pass.
    void stopRuns() { stopping_ = true; }

private:
    short passCount() const;
    quint32 pauseMs() const;

    TesterView& view_;
    SerialPort& port_;
    LineDisplay& lines_;
    Platform& platform_;
    bool stopping_ = false;
};

#pragma once

#include <chrono>
#include <vector>

#include "check_report.h"
#include "event_history.h"
#include "input_lines.h"
#include "plug_profile.h"

class SerialPortControl;

// How many passes of the cycle to run, and the pause after each.
struct CycleRequest {
    int passes = 0;  // 0: no cycle
    int delayMs = 30;
};

// A signal asked the check to end; the check is left unfinished.
struct CheckStopped {
    int signal;
};

// The checks on an open port, in order: the wiring check, DTR and RTS each off and on with
// exactly their followers following, the cycle's edges counted, and no line error or break.
// Every step waits with the event loop running, so the port's events arrive as they would
// in the window. A failing port call throws CommError; a stop throws CheckStopped.
class PortCheck {
public:
    PortCheck(SerialPortControl& port, PlugProfile plug, CycleRequest cycles);

    // Records every event the port delivers from now on; call before the port opens.
    void startRecording();
    void run(CheckReport& report);
    // Ends the run at its next look at the event loop: `signal` asked for it.
    void stop(int signal) { stopSignal_ = signal; }

private:
    enum class Output { Dtr, Rts };

    template <typename Done>
    bool pumpEventsUntil(Done&& done, std::chrono::milliseconds time);
    void pumpEventsFor(std::chrono::milliseconds time);
    void checkWiring();
    void checkDrive(Output output, bool on);
    void checkCycles();
    void checkLineErrors();

    unsigned levels() const;
    unsigned followersOf(Output output) const;
    void setOutput(Output output, bool on);
    std::chrono::milliseconds settleTime() const;
    // The lines with an event from the index-th recorded one on, and when each first came.
    unsigned linesWithEvents(std::size_t from, std::vector<EventStamp>* firstOf = nullptr) const;
    int eventsOn(InputLines::Line line, std::size_t from) const;

    SerialPortControl& port_;
    PlugProfile plug_;
    CycleRequest cycles_;
    std::vector<HistoryEntry> events_;
    std::vector<CheckRow> rows_;
    int stopSignal_ = 0;
};

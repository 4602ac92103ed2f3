#pragma once

#include <QString>
#include <optional>

#include "line_display.h"
#include "platform.h"
#include "port_numbers.h"
#include "serial_port.h"
#include "tester_view.h"

// Opens the port the user picks, checks its loopback wiring, and polls it once a second.
class PortSelection {
public:
    static inline const QString kLineSettings = QStringLiteral("9600,n,8,1");
    static inline const QString kTestText = QStringLiteral("Loopback");
    static constexpr qint32 kEchoWaitMs = 100;

    PortSelection(TesterView& view, SerialPort& port, LineDisplay& lines, Platform& platform)
        : view_(view), port_(port), lines_(lines), platform_(platform) {}

    // Opens the port the chosen text names and, when that succeeds, checks its wiring and
    // shows its lines. A selection made while this one waited has the port now: this one
    // then ends at its wait and leaves the lamps and the telling to the newer one.
    void select(const QString& chosen);
    // PortNumber when that port was opened, otherwise 0. Reports every failure in a box.
    short OpenValidPort(SerialPort& comPort, short PortNumber);
    void ConfigurePort();
    bool CheckPortWiring();
    void EventSleep(qint32 dwMilliseconds);
    // Repeats the wiring check and shows the last event code, while a port is open; while
    // the port lost last is closed, opens it again once its device is back.
    void poll();
    // The open port's device went away and the port is closed: the lamps of the selection
    // go idle and the status empties.
    void deviceLost();

private:
    // Checks the wiring of the port just opened and shows its lines, unless a newer selection
    // has the port by then.
    void showOpenedPort(unsigned selection);
    // Opens the lost port again without a word when its number reaches a device now.
    void reopenIfBack();
    void showWiringResult(bool passed);
    void setSelectionLampsIdle();
    // The wiring check's result, unless the device was lost while it waited.
    std::optional<bool> checkWiringUnlessLost();

    TesterView& view_;
    SerialPort& port_;
    LineDisplay& lines_;
    Platform& platform_;
    unsigned losses_ = 0;
    unsigned selections_ = 0;
    short lostPort_ = 0;             // the number whose device went away while open; 0 for none
    bool lostPortWentAway_ = false;  // its device has been seen gone since
};

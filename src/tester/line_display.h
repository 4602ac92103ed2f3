#pragma once

#include "serial_port.h"
#include "tester_view.h"

// The lamps of the five control lines and the latch lamps of the three input lines.
class LineDisplay {
public:
    LineDisplay(TesterView& view, SerialPort& port) : view_(view), port_(port) {}

    // Colours shpRTS and shpDTR from the output lines.
    void ShowOutputLines();
    // Colours the sensor lamps, lights one latch lamp per input line, then the output lamps.
    void ShowInputLines();
    void timLatch_Timer(short index);
    void timLatchNot_Timer(short index);

private:
    bool readInputLine(int index) const;

    TesterView& view_;
    SerialPort& port_;
};

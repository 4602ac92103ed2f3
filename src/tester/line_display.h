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
    // Stops the latch timer of the line and puts its lamp back to the idle colour.
    void putOutLatch(short index);
    void putOutLatchNot(short index);

private:
    bool readInputLine(int index) const;

    TesterView& view_;
    SerialPort& port_;
};

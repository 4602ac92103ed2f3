#include "line_display.h"

#include "lamp_colours.h"

namespace {
int lineColour(bool on) {
    return on ? LampColours::Red : LampColours::Green;
}
}  // namespace

void LineDisplay::ShowOutputLines() {
    view_.shpRTS().setBackColor(lineColour(port_.RTSEnable()));
    view_.shpDTR().setBackColor(lineColour(port_.DTREnable()));
}

bool LineDisplay::readInputLine(int index) const {
    switch (index) {
        case LineIndex::Dsr:
            return port_.DSRHolding();
        case LineIndex::Cts:
            return port_.CTSHolding();
        default:
            return port_.CDHolding();
    }
}

void LineDisplay::ShowInputLines() {
    for (int i = 0; i < LineIndex::InputLineCount; ++i)
        view_.shpIndicator(i).setBackColor(lineColour(readInputLine(i)));

    // A fresh read for the latches: a line that changed since the first read leaves the
    // latch showing the newer state, which is what a latch is for.
    for (int i = 0; i < LineIndex::InputLineCount; ++i) {
        if (readInputLine(i)) {
            view_.shpLatchNot(i).setBackColor(LampColours::Red);
            view_.timLatchNot(i).setEnabled(true);
        } else {
            view_.shpLatch(i).setBackColor(LampColours::Green);
            view_.timLatch(i).setEnabled(true);
        }
    }
    ShowOutputLines();
}

void LineDisplay::putOutLatch(short index) {
    view_.timLatch(index).setEnabled(false);
    view_.shpLatch(index).setBackColor(LampColours::Idle);
}

void LineDisplay::putOutLatchNot(short index) {
    view_.timLatchNot(index).setEnabled(false);
    view_.shpLatchNot(index).setBackColor(LampColours::LatchNotIdle);
}

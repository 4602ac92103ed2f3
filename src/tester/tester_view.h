#pragma once

#include "elements.h"
#include "message_boxes.h"

// The main window as the tester logic sees it: its elements by name. Arrays are indexed
// from 0; line index 0 is DSR, 1 CTS, 2 CD, and shpIndicator(3) is the wiring lamp.
class TesterView {
public:
    virtual ~TesterView() = default;

    virtual TextElement& Combo1() = 0;
    virtual TextElement& txtStatus() = 0;
    virtual TextElement& txtLoop() = 0;
    virtual TextElement& txtDelay() = 0;
    virtual TextElement& txtCount() = 0;
    virtual CheckElement& chkIgnoreRing() = 0;
    virtual ListElement& lstStatus() = 0;

    virtual LampElement& shpIndicator(int index) = 0;  // 0..3
    virtual LampElement& shpLatch(int index) = 0;      // 0..2
    virtual LampElement& shpLatchNot(int index) = 0;   // 0..2
    virtual LampElement& shpRTS() = 0;
    virtual LampElement& shpDTR() = 0;

    virtual TimerElement& timLatch(int index) = 0;     // 0..2
    virtual TimerElement& timLatchNot(int index) = 0;  // 0..2

    virtual MessageBoxes& messages() = 0;
};

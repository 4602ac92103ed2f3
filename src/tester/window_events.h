#pragma once

#include <QString>
#include <QtGlobal>

// The notifications the main window delivers to the tester logic, one at a time on the
// user-interface thread. Implementations report their own failures: nothing is thrown back
// into the window.
class WindowEvents {
public:
    virtual ~WindowEvents() = default;

    virtual void Form_Load() = 0;
    virtual void Combo1_Click() = 0;
    virtual void Timer1_Timer() = 0;
    virtual void timLatch_Timer(short index) = 0;
    virtual void timLatchNot_Timer(short index) = 0;
    virtual void cmdToggleDTR_Click() = 0;
    virtual void cmdToggleRTS_Click() = 0;
    virtual void cmdCycle_Click() = 0;
    virtual void cmdClearStatus_Click() = 0;
    virtual void comPort_OnComm() = 0;
    // The port's device disappeared and the control closed the port.
    virtual void comPort_DeviceLost(int number, const QString& description) = 0;
    // Port events came faster than they could be delivered; total lost since start.
    virtual void comPort_EventsLost(quint64 total) = 0;
    // The window is closing: anything waiting inside a handler should stop.
    virtual void Form_Unload() = 0;
};

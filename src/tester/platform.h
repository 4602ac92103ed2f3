#pragma once

#include <QtGlobal>

#include "notification_order.h"

// The waits and the window system's event pump. Both platforms, the real one and the tests'
// fake, keep the tester's notifications in the same order: a notification that arrives
// during Sleep waits for the next DoEvents.
class Platform {
public:
    virtual ~Platform() = default;

    // Returns after the given time. The window stays alive meanwhile, but the tester's
    // notifications that arrive are held, in their order, for DoEvents.
    void Sleep(quint32 milliseconds) {
        order_.holdDuring([&] { waitFor(milliseconds); });
    }
    // Runs every pending window event and every held notification, in the order they
    // arrived, then returns.
    void DoEvents() {
        order_.holdDuring([&] { pumpWindowEvents(); });
        order_.runHeld();
    }

    // Where the window delivers the tester's notifications.
    NotificationOrder& notifications() { return order_; }

protected:
    // Lets the given time pass; notifications that arrive meanwhile are delivered.
    virtual void waitFor(quint32 milliseconds) = 0;
    // Delivers every pending window event.
    virtual void pumpWindowEvents() = 0;

private:
    NotificationOrder order_;
};

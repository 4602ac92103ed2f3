#pragma once

#include <QtGlobal>

// The waits and the window system's event pump.
class Platform {
public:
    virtual ~Platform() = default;
    // Returns after the given time. The window stays alive meanwhile: it repaints, and
    // notifications that arrive may be handled before the wait returns.
    virtual void Sleep(quint32 milliseconds) = 0;
    // Runs every pending window event, then returns.
    virtual void DoEvents() = 0;
};

#pragma once

#include <QtGlobal>

// The operating system's sleep and the window system's event pump.
class Platform {
public:
    virtual ~Platform() = default;
    // Blocks the thread; never called with a negative count.
    virtual void Sleep(quint32 milliseconds) = 0;
    // Runs every pending window event, then returns.
    virtual void DoEvents() = 0;
};

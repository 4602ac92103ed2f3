#pragma once

#include "platform.h"

// The waits and the event pump of a Qt application.
class QtPlatform : public Platform {
public:
    // Waits in the event loop, so that the window stays alive.
    void Sleep(quint32 milliseconds) override;
    // Runs posted events, timer ticks and input that are pending, then returns.
    void DoEvents() override;
};

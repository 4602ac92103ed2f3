#pragma once

#include "platform.h"

// The waits and the event pump of a Qt application.
class QtPlatform : public Platform {
protected:
    // Waits in the event loop, so that the window repaints and answers meanwhile.
    void waitFor(quint32 milliseconds) override;
    // Runs posted events, timer ticks and input that are pending.
    void pumpWindowEvents() override;
};

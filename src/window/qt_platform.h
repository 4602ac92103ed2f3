#pragma once

#include "platform.h"

// The thread sleep and the event pump of a Qt application.
class QtPlatform : public Platform {
public:
    void Sleep(quint32 milliseconds) override;
    // Runs posted events, timer ticks and input that are pending, then returns.
    void DoEvents() override;
};

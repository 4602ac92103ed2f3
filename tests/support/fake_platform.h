#pragma once

#include <QCoreApplication>
#include <functional>
#include <memory>
#include <vector>

#include "platform.h"
#include "sim_clock.h"

// Sleep moves a manual clock on instead of blocking; DoEvents runs what Qt has pending and
// then any nested events the test queued, so re-entry can be driven exactly. Notifications
// are held and released by the same rule as on the real platform.
class FakePlatform : public Platform {
public:
    explicit FakePlatform(
        std::shared_ptr<ManualClock> sharedClock = std::make_shared<ManualClock>())
        : clock(std::move(sharedClock)) {}

    // Runs inside the next DoEvents, as a window event that was waiting would.
    void queueEvent(std::function<void()> event) { pending.push_back(std::move(event)); }

    std::shared_ptr<ManualClock> clock;
    std::function<void()> onSleep;  // runs while the thread would be blocked
    std::vector<quint32> sleeps;
    std::vector<std::function<void()>> pending;
    int pumps = 0;

protected:
    void waitFor(quint32 milliseconds) override {
        sleeps.push_back(milliseconds);
        if (onSleep)
            onSleep();
        clock->advanceMs(milliseconds);
    }

    void pumpWindowEvents() override {
        ++pumps;
        QCoreApplication::processEvents();
        auto nested = std::move(pending);
        pending.clear();
        for (auto& event : nested)
            event();
    }
};

#pragma once

#include <QtGlobal>
#include <atomic>
#include <chrono>

// Time as the simulated rig sees it. Tests use ManualClock to make echo timing exact.
class SimClock {
public:
    virtual ~SimClock() = default;
    virtual qint64 nowNs() const = 0;
};

class SteadyClock : public SimClock {
public:
    qint64 nowNs() const override {
        return std::chrono::duration_cast<std::chrono::nanoseconds>(
                   std::chrono::steady_clock::now().time_since_epoch())
            .count();
    }
};

class ManualClock : public SimClock {
public:
    qint64 nowNs() const override { return now_.load(); }
    void advanceMs(qint64 ms) { now_ += ms * 1'000'000; }
    void advanceNs(qint64 ns) { now_ += ns; }

private:
    std::atomic<qint64> now_{1'000'000'000};
};

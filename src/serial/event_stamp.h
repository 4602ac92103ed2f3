#pragma once

#include <chrono>

// When a device saw an event: a steady time for intervals, the wall clock for the record. Taken
// on the device's own thread, so a busy window does not shift it.
struct EventStamp {
    std::chrono::steady_clock::time_point steady;
    std::chrono::system_clock::time_point wall;

    static EventStamp now() {
        return {std::chrono::steady_clock::now(), std::chrono::system_clock::now()};
    }
};

#pragma once

#include <thread>

// Reads the system's font configuration on a second thread while the main thread connects to
// the display, so that the window's first measured text does not wait for it. Where Qt reads
// no such configuration (Windows), there is nothing to do.
class FontWarmUp {
public:
    FontWarmUp();
    ~FontWarmUp() { finish(); }
    FontWarmUp(const FontWarmUp&) = delete;
    FontWarmUp& operator=(const FontWarmUp&) = delete;

    // Waits until it is read: Qt, asked for a font meanwhile, would read it a second time.
    void finish() {
        if (thread_.joinable())
            thread_.join();
    }

private:
    std::thread thread_;
};

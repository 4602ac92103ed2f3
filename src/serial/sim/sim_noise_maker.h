#pragma once

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

#include "sim_port_state.h"

// Injects events now and then from its own thread until destroyed.
class SimNoiseMaker {
public:
    SimNoiseMaker(std::shared_ptr<SimPortState> state, quint64 id,
                  std::chrono::milliseconds interval);
    ~SimNoiseMaker();

private:
    void run(SimPortState& state, quint64 id, std::chrono::milliseconds interval);

    std::mutex mutex_;
    std::condition_variable wake_;
    bool stopping_ = false;
    std::thread thread_;  // last: starts once the members above exist
};

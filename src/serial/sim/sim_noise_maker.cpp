#include "sim_noise_maker.h"

SimNoiseMaker::SimNoiseMaker(std::shared_ptr<SimPortState> state, quint64 id,
                             std::chrono::milliseconds interval)
    : thread_([this, state, id, interval] { run(*state, id, interval); }) {}

SimNoiseMaker::~SimNoiseMaker() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

void SimNoiseMaker::run(SimPortState& state, quint64 id, std::chrono::milliseconds interval) {
    std::unique_lock lock(mutex_);
    for (int step = 0;; ++step) {
        if (wake_.wait_for(lock, interval, [this] { return stopping_; }))
            return;
        lock.unlock();
        state.makeNoise(id, step);
        lock.lock();
    }
}

#pragma once
// An event that lets exactly one wait through per set(), like the auto-reset events the run waits on
// for the technician's answers. A wait also ends when its stop token is asked to stop.
#include <condition_variable>
#include <mutex>
#include <stop_token>

namespace orva {

class AutoResetEvent {
public:
    void set() {
        {
            std::lock_guard lock(mutex_);
            signalled_ = true;
        }
        changed_.notify_one();
    }
    // True when the event was set (and is now reset again); false when the stop request came first.
    bool wait(std::stop_token stop) {
        std::unique_lock lock(mutex_);
        if (!changed_.wait(lock, stop, [this] { return signalled_; }))
            return false;
        signalled_ = false;
        return true;
    }
    void reset() {
        std::lock_guard lock(mutex_);
        signalled_ = false;
    }

private:
    std::mutex mutex_;
    std::condition_variable_any changed_;
    bool signalled_ = false;
};

} // namespace orva

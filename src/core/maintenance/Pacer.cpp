#include "core/maintenance/Pacer.h"

#include <cerrno>
#include <ctime>
#include <sys/prctl.h>

namespace orva {

namespace {

// Longest single sleep, so that a stop request is noticed within this time.
constexpr std::chrono::milliseconds kSleepStep{20};

timespec ToTimespec(Pacer::Clock::time_point t) {
    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(t.time_since_epoch()).count();
    timespec ts{};
    ts.tv_sec = static_cast<time_t>(ns / 1'000'000'000);
    ts.tv_nsec = static_cast<long>(ns % 1'000'000'000);
    return ts;
}

} // namespace

void Pacer::TightenTimerSlack() {
    ::prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
}

bool Pacer::waitUntil(Clock::time_point deadline, const std::stop_token& stop) const {
    const auto wakeAt = deadline - spinMargin_;
    for (;;) {
        if (stop.stop_requested())
            return false;
        const auto now = Clock::now();
        if (now >= wakeAt)
            break;
        const auto until = (wakeAt - now > kSleepStep) ? now + kSleepStep : wakeAt;
        const timespec ts = ToTimespec(until);
        // EINTR simply repeats the loop; the absolute deadline makes that harmless.
        ::clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &ts, nullptr);
    }
    return BusyWaitUntil(deadline, stop);
}

bool BusyWaitUntil(Pacer::Clock::time_point deadline, const std::stop_token& stop) {
    while (Pacer::Clock::now() < deadline) {
        if (stop.stop_requested())
            return false;
    }
    return !stop.stop_requested();
}

} // namespace orva

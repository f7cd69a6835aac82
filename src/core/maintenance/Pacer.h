#pragma once
// Waits for a deadline with microsecond precision without keeping a core busy for the whole wait: the
// thread sleeps on an absolute monotonic deadline until shortly before it, then polls the clock for the
// rest. Sleeps go in short steps so a stop request ends a long wait promptly.
#include <chrono>
#include <stop_token>

namespace orva {

class Pacer {
public:
    using Clock = std::chrono::steady_clock; // CLOCK_MONOTONIC on Linux

    // How long before the deadline sleeping gives way to polling. It covers the wake-up latency of a
    // sleeping thread, which is what would otherwise make the deadline late.
    static constexpr std::chrono::microseconds kDefaultSpinMargin{200};

    explicit Pacer(std::chrono::nanoseconds spinMargin = kDefaultSpinMargin) : spinMargin_(spinMargin) {}

    // Asks the kernel to wake the calling thread on time rather than coalescing its timer (the default
    // slack is 50 µs). Call once on the pacing thread; it changes only that thread.
    static void TightenTimerSlack();

    // Returns once the clock has reached the deadline: true, or false when a stop request came first.
    bool waitUntil(Clock::time_point deadline, const std::stop_token& stop) const;

private:
    std::chrono::nanoseconds spinMargin_;
};

// The reference behaviour: poll the clock without ever sleeping.
bool BusyWaitUntil(Pacer::Clock::time_point deadline, const std::stop_token& stop);

} // namespace orva

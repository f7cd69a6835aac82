#pragma once
// Small POSIX helpers for the command channel: an owned file descriptor, and waits that end early
// when the exchange's stop token is triggered.
#include <chrono>
#include <functional>
#include <optional>
#include <stop_token>

namespace orva::detail {

class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : fd_(fd) {}
    ~UniqueFd();
    UniqueFd(UniqueFd&& other) noexcept : fd_(other.release()) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept;
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;

    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    int release() {
        int fd = fd_;
        fd_ = -1;
        return fd;
    }

private:
    int fd_ = -1;
};

// Turns a stop request into a readable eventfd, so poll() can wait on a socket and on the stop at once.
// When the token can never be stopped no descriptor is made.
class StopWaker {
public:
    explicit StopWaker(std::stop_token token);
    StopWaker(const StopWaker&) = delete;
    StopWaker& operator=(const StopWaker&) = delete;

    // False when the eventfd could not be made (the exchange then cannot be stopped and must not start).
    bool ok() const { return !token_.stop_possible() || event_.valid(); }
    bool stopRequested() const { return token_.stop_requested(); }
    int fd() const { return event_.get(); }

private:
    std::stop_token token_;
    UniqueFd event_; // declared before the callback: the callback writes to it until it is destroyed
    std::optional<std::stop_callback<std::function<void()>>> callback_;
};

enum class WaitResult { Ready, TimedOut, Stopped, Failed };

// Waits until fd is readable (fd < 0: only for the stop or the time-out). No deadline waits without
// limit. A stop request wins over a readable socket.
WaitResult WaitReadable(int fd, const StopWaker& waker, std::optional<std::chrono::steady_clock::time_point> deadline);

} // namespace orva::detail

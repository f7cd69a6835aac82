#include "core/protocol/SocketWait.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace orva::detail {

UniqueFd::~UniqueFd() {
    if (fd_ >= 0)
        ::close(fd_);
}

UniqueFd& UniqueFd::operator=(UniqueFd&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = other.release();
    }
    return *this;
}

StopWaker::StopWaker(std::stop_token token) : token_(std::move(token)) {
    if (!token_.stop_possible())
        return;
    event_ = UniqueFd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
    if (!event_.valid())
        return;
    const int fd = event_.get();
    // Runs at once when the stop was already requested.
    callback_.emplace(token_, std::function<void()>([fd] {
                          const uint64_t one = 1;
                          [[maybe_unused]] ssize_t n = ::write(fd, &one, sizeof one);
                      }));
}

WaitResult WaitReadable(int fd, const StopWaker& waker, std::optional<std::chrono::steady_clock::time_point> deadline) {
    using namespace std::chrono;
    for (;;) {
        if (waker.stopRequested())
            return WaitResult::Stopped;
        int timeoutMs = -1;
        if (deadline) {
            const auto left = ceil<milliseconds>(*deadline - steady_clock::now()).count();
            if (left <= 0) {
                // Still report a datagram that is already there.
                timeoutMs = 0;
            } else {
                timeoutMs = static_cast<int>(std::min<long long>(left, INT_MAX));
            }
        }
        pollfd fds[2] = {{fd, POLLIN, 0}, {waker.fd(), POLLIN, 0}};
        const int n = ::poll(fds, 2, timeoutMs);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return WaitResult::Failed;
        }
        if (waker.stopRequested() || (fds[1].revents & POLLIN))
            return WaitResult::Stopped;
        if (fds[0].revents & (POLLIN | POLLERR | POLLHUP | POLLNVAL))
            return (fds[0].revents & POLLNVAL) ? WaitResult::Failed : WaitResult::Ready;
        if (deadline && steady_clock::now() >= *deadline)
            return WaitResult::TimedOut;
        // Rounding left a little time, or a long wait was clamped: wait again.
    }
}

} // namespace orva::detail

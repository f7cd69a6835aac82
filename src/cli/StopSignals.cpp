#include "cli/StopSignals.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>

namespace orva::cli {
namespace {

int g_wakeWrite = -1;

void OnSignal(int) {
    const char byte = 's';
    [[maybe_unused]] ssize_t n = ::write(g_wakeWrite, &byte, 1);
}

} // namespace

StopSignals::StopSignals() {
    if (::pipe2(fds_, O_CLOEXEC) != 0) {
        std::perror("pipe");
        fds_[0] = fds_[1] = -1;
        return;
    }
    g_wakeWrite = fds_[1];
    struct sigaction sa {};
    sa.sa_handler = OnSignal;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
}

StopSignals::~StopSignals() {
    if (fds_[0] < 0)
        return;
    signal(SIGINT, SIG_DFL);
    signal(SIGTERM, SIG_DFL);
    g_wakeWrite = -1;
    ::close(fds_[0]);
    ::close(fds_[1]);
}

bool StopSignals::waitForStop(int ms) {
    const auto due = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    for (;;) {
        // Looked at even when the time is up already: a caller whose own wait used up its turn still
        // hears the signal.
        const auto left = std::max<long long>(
            0, std::chrono::duration_cast<std::chrono::milliseconds>(due - std::chrono::steady_clock::now()).count());
        pollfd fd{fds_[0], POLLIN, 0};
        const int ready = ::poll(&fd, 1, static_cast<int>(left));
        if (ready > 0) {
            char byte = 0;
            if (::read(fds_[0], &byte, 1) == 1 && byte == 's')
                return true;
            continue;
        }
        if (ready == 0 || left == 0)
            return false;
        // A signal broke the wait: its byte is in the pipe.
    }
}

} // namespace orva::cli

// Pacing of the image broadcast: 2,000 data datagrams at several intervals to a receiver on loopback
// that takes the kernel's arrival stamps. Our sender (sleep to shortly before the deadline, then poll)
// runs next to the reference sender that polls the clock for the whole wait, in the same run.
#include "core/maintenance/ImageDatagrams.h"
#include "core/maintenance/ImageTransfer.h"
#include "core/maintenance/Pacer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr const char* kAddress = "127.0.8.255";
constexpr uint16_t kPort = 54321;
constexpr size_t kDatagrams = 2000;
constexpr int64_t kStallNs = 1'000'000; // a gap more than 1 ms late

int64_t ThreadCpuNs() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return int64_t(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

int64_t MonotonicNs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return int64_t(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

// Keeps the kernel arrival stamp of every data datagram, reading them in batches.
class Receiver {
public:
    Receiver() {
        fd_ = socket(AF_INET, SOCK_DGRAM, 0);
        const int on = 1;
        setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        setsockopt(fd_, SOL_SOCKET, SO_TIMESTAMPNS, &on, sizeof on);
        const int size = 8 << 20;
        setsockopt(fd_, SOL_SOCKET, SO_RCVBUFFORCE, &size, sizeof size);
        sockaddr_in at{};
        at.sin_family = AF_INET;
        at.sin_port = htons(kPort);
        inet_pton(AF_INET, kAddress, &at.sin_addr);
        if (bind(fd_, reinterpret_cast<sockaddr*>(&at), sizeof at) != 0) {
            std::perror("bind 127.0.8.255:54321");
            std::exit(1);
        }
        thread_ = std::thread([this] { loop(); });
    }
    ~Receiver() {
        stop_ = true;
        thread_.join();
        close(fd_);
    }
    void reset() {
        std::lock_guard lock(mutex_);
        stamps_.clear();
    }
    std::vector<int64_t> waitFor(size_t n) {
        for (int i = 0; i < 500; ++i) {
            {
                std::lock_guard lock(mutex_);
                if (stamps_.size() >= n)
                    return stamps_;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        std::lock_guard lock(mutex_);
        return stamps_;
    }

private:
    void loop() {
        std::vector<char> buffer(2048);
        while (!stop_) {
            iovec iov{buffer.data(), buffer.size()};
            alignas(cmsghdr) char control[128];
            msghdr msg{};
            msg.msg_iov = &iov;
            msg.msg_iovlen = 1;
            msg.msg_control = control;
            msg.msg_controllen = sizeof control;
            // Nobody waits on the socket: a sleeping reader would have to be woken inside every sendto,
            // which a gateway on the wire never costs the sender. The kernel stamps each arrival anyway.
            const ssize_t n = recvmsg(fd_, &msg, MSG_DONTWAIT);
            if (n < 0) {
                std::this_thread::sleep_for(std::chrono::microseconds(500));
                continue;
            }
            if (n != static_cast<ssize_t>(orva::kImageDataDatagramSize))
                continue;
            for (cmsghdr* c = CMSG_FIRSTHDR(&msg); c; c = CMSG_NXTHDR(&msg, c))
                if (c->cmsg_level == SOL_SOCKET && c->cmsg_type == SCM_TIMESTAMPNS) {
                    timespec ts{};
                    std::memcpy(&ts, CMSG_DATA(c), sizeof ts);
                    std::lock_guard lock(mutex_);
                    stamps_.push_back(int64_t(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec);
                }
        }
    }

    int fd_ = -1;
    std::atomic<bool> stop_{false};
    std::mutex mutex_;
    std::vector<int64_t> stamps_;
    std::thread thread_;
};

struct Figures {
    double meanGapUs = 0, p50Us = 0, p99Us = 0, maxUs = 0, minUs = 0;
    size_t stalls = 0;
    double worstStallMs = 0;
    double cpuPercent = 0;
    size_t received = 0;
};

double Percentile(std::vector<int64_t> v, double p) {
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    const size_t i = std::min(v.size() - 1, static_cast<size_t>(p * double(v.size() - 1) + 0.5));
    return double(v[i]) / 1000.0;
}

Figures Run(Receiver& receiver, std::chrono::nanoseconds interval, bool busyPoll) {
    const std::string image(kDatagrams * orva::kImageDataArea, '\x5a');
    orva::ImageTransferOptions options;
    options.address = kAddress;
    options.port = kPort;
    options.interval = interval;
    options.busyPoll = busyPoll;
    receiver.reset();
    int64_t cpu = 0, wall = 0;
    std::thread sender([&] {
        const int64_t cpu0 = ThreadCpuNs(), wall0 = MonotonicNs();
        orva::SendImage(image, options, {}, {});
        cpu = ThreadCpuNs() - cpu0;
        wall = MonotonicNs() - wall0;
    });
    sender.join();
    const std::vector<int64_t> stamps = receiver.waitFor(kDatagrams);

    Figures f;
    f.received = stamps.size();
    f.cpuPercent = wall > 0 ? 100.0 * double(cpu) / double(wall) : 0;
    std::vector<int64_t> deviations; // gap minus interval, stalls excluded
    int64_t sum = 0;
    for (size_t k = 1; k < stamps.size(); ++k) {
        const int64_t gap = stamps[k] - stamps[k - 1];
        sum += gap;
        const int64_t dev = gap - interval.count();
        if (dev > kStallNs) {
            ++f.stalls;
            f.worstStallMs = std::max(f.worstStallMs, double(dev) / 1e6);
        } else {
            deviations.push_back(dev);
        }
    }
    if (stamps.size() > 1)
        f.meanGapUs = double(sum) / double(stamps.size() - 1) / 1000.0;
    f.p50Us = Percentile(deviations, 0.50);
    f.p99Us = Percentile(deviations, 0.99);
    f.maxUs = Percentile(deviations, 1.0);
    f.minUs = Percentile(deviations, 0.0);
    return f;
}

// How long one 1004-byte sendto takes on loopback: the part of every gap the wait cannot remove,
// because each wait is measured from the end of the previous send.
double SendDurationUs() {
    int fd = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(kPort);
    inet_pton(AF_INET, kAddress, &to.sin_addr);
    char datagram[orva::kImageDataDatagramSize] = {};
    std::vector<int64_t> d;
    for (int i = 0; i < 2000; ++i) {
        const int64_t t0 = MonotonicNs();
        sendto(fd, datagram, sizeof datagram, 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
        d.push_back(MonotonicNs() - t0);
        if (i % 100 == 99)
            std::this_thread::sleep_for(std::chrono::milliseconds(2)); // let the receiver keep up
    }
    close(fd);
    return Percentile(d, 0.5);
}

// The wait alone, without sending: how late each waiter returns after its deadline.
void WakeLateness(std::chrono::nanoseconds interval, bool busy, double& p50, double& p99, double& max, double& cpu) {
    std::thread t([&] {
        orva::Pacer::TightenTimerSlack();
        const orva::Pacer pacer;
        std::vector<int64_t> late;
        const int64_t cpu0 = ThreadCpuNs(), wall0 = MonotonicNs();
        auto last = orva::Pacer::Clock::now();
        for (size_t i = 0; i < kDatagrams; ++i) {
            const auto deadline = last + interval;
            busy ? orva::BusyWaitUntil(deadline, {}) : pacer.waitUntil(deadline, {});
            last = orva::Pacer::Clock::now();
            late.push_back(std::chrono::duration_cast<std::chrono::nanoseconds>(last - deadline).count());
        }
        cpu = 100.0 * double(ThreadCpuNs() - cpu0) / double(MonotonicNs() - wall0);
        p50 = Percentile(late, 0.5);
        p99 = Percentile(late, 0.99);
        max = Percentile(late, 1.0);
    });
    t.join();
}

} // namespace

int main() {
    Receiver receiver;
    std::printf("Image pacing, %zu data datagrams of %zu bytes to %s:%u, kernel arrival stamps\n", kDatagrams,
                orva::kImageDataDatagramSize, kAddress, kPort);
    std::printf("deviation = gap between consecutive arrivals - interval (stalls > 1 ms counted apart)\n\n");
    std::printf("%-9s %-10s %10s %9s %9s %9s %9s %7s %10s %8s\n", "interval", "sender", "mean gap", "min dev",
                "p50 dev", "p99 dev", "max dev", "stalls", "worst", "CPU");
    for (const double ms : {5.0, 1.0, 0.2}) {
        const auto interval = std::chrono::nanoseconds(static_cast<long long>(ms * 1e6));
        for (const bool busy : {false, true}) {
            const Figures f = Run(receiver, interval, busy);
            char worst[32] = "-";
            if (f.stalls)
                std::snprintf(worst, sizeof worst, "%.2f ms", f.worstStallMs);
            std::printf("%6.1f ms %-10s %8.2f us %6.2f us %6.2f us %6.2f us %6.2f us %7zu %10s %6.1f %%%s\n", ms,
                        busy ? "busy-poll" : "orva", f.meanGapUs, f.minUs, f.p50Us, f.p99Us, f.maxUs, f.stalls, worst,
                        f.cpuPercent, f.received == kDatagrams ? "" : "  (datagrams lost)");
        }
    }
    std::printf("\nThe wait alone (no send): lateness after the deadline\n");
    std::printf("%-9s %-10s %9s %9s %9s %8s\n", "interval", "waiter", "p50", "p99", "max", "CPU");
    for (const double ms : {5.0, 1.0, 0.2})
        for (const bool busy : {false, true}) {
            double p50 = 0, p99 = 0, max = 0, cpu = 0;
            WakeLateness(std::chrono::nanoseconds(static_cast<long long>(ms * 1e6)), busy, p50, p99, max, cpu);
            std::printf("%6.1f ms %-10s %6.2f us %6.2f us %6.2f us %6.1f %%\n", ms, busy ? "busy-poll" : "orva", p50,
                        p99, max, cpu);
        }
    std::printf("\nsendto of one data datagram on loopback, median: %.2f us\n", SendDurationUs());
    return 0;
}

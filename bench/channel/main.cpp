// Time of one Transact exchange against a gateway on loopback that answers at once. Every exchange
// pauses 100 ms between sending and receiving, so that pause is the floor the figure is set against.
//
// Usage: bench_channel [exchanges]   (default 200; loopback 127.0.9.1 only)
#include "core/protocol/Base64.h"
#include "core/protocol/CommandChannel.h"

#include <algorithm>
#include <arpa/inet.h>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <netinet/in.h>
#include <numeric>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

constexpr const char* kGateway = "127.0.9.1";

// Answers every command with a short status line, like a gateway with nothing to do.
class EchoGateway {
public:
    EchoGateway() {
        fd_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        ::inet_pton(AF_INET, kGateway, &a.sin_addr);
        if (fd_ < 0 || ::bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
            std::perror("bind 127.0.9.1");
            std::exit(1);
        }
        socklen_t len = sizeof a;
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len);
        port_ = ntohs(a.sin_port);
        thread_ = std::jthread([this](std::stop_token stop) { run(stop); });
    }
    ~EchoGateway() {
        thread_.request_stop();
        thread_.join();
        ::close(fd_);
    }
    int port() const { return port_; }

private:
    void run(std::stop_token stop) {
        const std::string reply = orva::Base64Encode("HG_HARDWARE_DIAG_SUCC STEP=4 FLASHUSEAGE=37");
        char buffer[2048];
        while (!stop.stop_requested()) {
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, 20) <= 0)
                continue;
            sockaddr_in from{};
            socklen_t len = sizeof from;
            if (::recvfrom(fd_, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from), &len) < 0)
                continue;
            ::sendto(fd_, reply.data(), reply.size(), 0, reinterpret_cast<sockaddr*>(&from), len);
        }
    }
    int fd_ = -1;
    int port_ = 0;
    std::jthread thread_;
};

} // namespace

int main(int argc, char** argv) {
    const int count = argc > 1 ? std::max(1, std::atoi(argv[1])) : 200;
    EchoGateway gateway;
    auto& channel = orva::CommandChannel::Instance();
    channel.SetAddress(kGateway);
    channel.SetPort(gateway.port());
    channel.SetReplyTimeout(5);

    std::vector<double> ms;
    ms.reserve(count);
    int failures = 0;
    for (int i = 0; i < count; ++i) {
        std::string reply, error;
        const auto t0 = std::chrono::steady_clock::now();
        const int rc = channel.Transact("HG_HARDWARE_DIAG STEP=4", reply, error, 1);
        const auto t1 = std::chrono::steady_clock::now();
        if (rc != 0 || reply.empty())
            ++failures;
        ms.push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
    }
    std::vector<double> sorted = ms;
    std::sort(sorted.begin(), sorted.end());
    const double mean = std::accumulate(ms.begin(), ms.end(), 0.0) / ms.size();
    const double p99 = sorted[std::min(sorted.size() - 1, static_cast<size_t>(sorted.size() * 0.99))];
    const double floorMs = orva::CommandChannel::kPauseMilliseconds;

    std::printf("Transact exchanges against a loopback gateway: %d (failed %d)\n", count, failures);
    std::printf("%-28s %12s %14s\n", "", "ours", "floor (pause)");
    std::printf("%-28s %12.2f %14.2f\n", "mean per exchange [ms]", mean, floorMs);
    std::printf("%-28s %12.2f %14.2f\n", "p99 per exchange [ms]", p99, floorMs);
    std::printf("%-28s %12.4f %14.4f\n", "mean / floor", mean / floorMs, 1.0);
    std::printf("%-28s %12.4f %14.4f\n", "p99 / floor", p99 / floorMs, 1.0);
    return failures == 0 ? 0 : 1;
}

// A whole segment answering one broadcast at once: 253 gateways (127.0.9.2-254 on loopback) reply to
// each round's broadcast together. Counts the replies delivered out of 253 per round, for short and
// for 600-byte reply lines, by SendAndListen (which raises its socket's receive buffer) and by the
// same exchange on a socket with the system's default buffer (the peer), both from this run.
//
// Usage: bench_burst [rounds]   (default 20; about 2 s per round and side)
#include "core/protocol/Base64.h"
#include "core/protocol/CommandChannel.h"

#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <netinet/in.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

constexpr const char* kSubnet = "127.0.9.";
constexpr int kGateways = 253;
constexpr int kListenSeconds = 1;
constexpr int kReplySeconds = 1;

sockaddr_in Address(const std::string& text, uint16_t port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    ::inet_pton(AF_INET, text.c_str(), &a.sin_addr);
    return a;
}

int Bound(const std::string& text) {
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in a = Address(text, 0);
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        std::perror(("bind " + text).c_str());
        std::exit(1);
    }
    return fd;
}

// The segment: one socket on the broadcast address receives the command, and every gateway's own
// socket answers it at once.
class Segment {
public:
    Segment() {
        listen_ = Bound(std::string(kSubnet) + "255");
        sockaddr_in a{};
        socklen_t len = sizeof a;
        ::getsockname(listen_, reinterpret_cast<sockaddr*>(&a), &len);
        port_ = ntohs(a.sin_port);
        for (int h = 2; h < 2 + kGateways; ++h)
            gateways_.push_back(Bound(kSubnet + std::to_string(h)));
        thread_ = std::jthread([this](std::stop_token stop) { run(stop); });
    }
    ~Segment() {
        thread_.request_stop();
        thread_.join();
        for (int fd : gateways_)
            ::close(fd);
        ::close(listen_);
    }
    int port() const { return port_; }
    // Reply lines of this length (at least the status and serial number).
    void setReplyLength(size_t n) { replyLength_ = n; }

private:
    void run(std::stop_token stop) {
        char buffer[2048];
        while (!stop.stop_requested()) {
            pollfd p{listen_, POLLIN, 0};
            if (::poll(&p, 1, 20) <= 0)
                continue;
            sockaddr_in from{};
            socklen_t len = sizeof from;
            if (::recvfrom(listen_, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from), &len) < 0)
                continue;
            std::vector<std::string> payloads;
            for (size_t i = 0; i < gateways_.size(); ++i) {
                std::string line = "HG_REVOCERY_PRECONFIG_SUCC SN=GW" + std::to_string(i + 2);
                if (line.size() < replyLength_) {
                    line += " PAD=";
                    line.resize(replyLength_, 'P');
                }
                payloads.push_back(orva::Base64Encode(line));
            }
            for (size_t i = 0; i < gateways_.size(); ++i)
                ::sendto(gateways_[i], payloads[i].data(), payloads[i].size(), 0, reinterpret_cast<sockaddr*>(&from),
                         len);
        }
    }
    int listen_ = -1;
    int port_ = 0;
    std::atomic<size_t> replyLength_{0};
    std::vector<int> gateways_;
    std::jthread thread_;
};

// The same exchange on a socket left with the system's default receive buffer: send, pause 100 ms,
// then receive into an 800-byte buffer until the listen time has passed.
int PeerRound(const std::string& address, int port) {
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    const int on = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
    const sockaddr_in to = Address(address, static_cast<uint16_t>(port));
    const std::string payload = orva::Base64Encode("HG_REVOCERY_PRECONFIG");
    ::sendto(fd, payload.data(), payload.size(), 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
    std::this_thread::sleep_for(std::chrono::milliseconds(orva::CommandChannel::kPauseMilliseconds));
    int delivered = 0;
    const auto start = std::chrono::steady_clock::now();
    while (std::chrono::steady_clock::now() - start < std::chrono::seconds(kListenSeconds)) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, kReplySeconds * 1000) <= 0)
            continue;
        char buffer[800] = {};
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, MSG_TRUNC);
        std::string text;
        if (n > 0 && n <= 800 && orva::Base64Decode(std::string_view(buffer, n), text))
            ++delivered;
    }
    ::close(fd);
    return delivered;
}

int OurRound() {
    int delivered = 0;
    std::string error;
    orva::CommandChannel::Instance().SendAndListen(
        "HG_REVOCERY_PRECONFIG", [&](const std::string&) { ++delivered; }, error);
    return delivered;
}

struct Figures {
    int min = kGateways, max = 0;
    long sum = 0;
    int rounds = 0;
    void add(int n) {
        min = std::min(min, n);
        max = std::max(max, n);
        sum += n;
        ++rounds;
    }
    double mean() const { return rounds ? double(sum) / rounds : 0; }
};

} // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
    Segment segment;
    const std::string broadcast = std::string(kSubnet) + "255";
    auto& channel = orva::CommandChannel::Instance();
    channel.SetAddress(broadcast);
    channel.SetPort(segment.port());
    channel.SetReplyTimeout(kReplySeconds);
    channel.SetListenTime(kListenSeconds);

    std::printf("%d gateways answer one broadcast at once, %d rounds per row; replies delivered per round\n", kGateways,
                rounds);
    std::printf("%-22s | %-26s | %-26s\n", "", "ours (raised buffer)", "peer (default buffer)");
    std::printf("%-22s | %8s %8s %8s | %8s %8s %8s\n", "reply line", "min", "mean", "max", "min", "mean", "max");
    for (size_t length : {size_t(0), size_t(600)}) {
        segment.setReplyLength(length);
        Figures ours, peer;
        for (int r = 0; r < rounds; ++r) {
            ours.add(OurRound());
            peer.add(PeerRound(broadcast, segment.port()));
        }
        const std::string label = length ? "600 bytes" : "short (~40 bytes)";
        std::printf("%-22s | %8d %8.1f %8d | %8d %8.1f %8d\n", label.c_str(), ours.min, ours.mean(), ours.max, peer.min,
                    peer.mean(), peer.max);
    }
    return 0;
}

#pragma once
// A raw UDP endpoint bound to a loopback address for the maintenance tests: it keeps every datagram
// with the kernel's arrival time stamp and can answer from its bound address, like a gateway would.
#include <netinet/in.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace orva::test {

struct Arrival {
    std::string bytes;
    std::string source; // "a.b.c.d:port"
    sockaddr_in from{};
    int64_t kernelNs = 0; // arrival time stamped by the kernel (CLOCK_REALTIME)
};

class UdpPeer {
public:
    using Handler = std::function<void(UdpPeer&, const Arrival&)>;

    // Binds address:port and starts receiving; `onArrival` runs on the receiving thread.
    UdpPeer(const std::string& address, uint16_t port, Handler onArrival = {});
    ~UdpPeer();
    UdpPeer(const UdpPeer&) = delete;
    UdpPeer& operator=(const UdpPeer&) = delete;

    bool ok() const { return fd_ >= 0; }
    std::vector<Arrival> arrivals() const;
    size_t count() const;
    // True once n datagrams are there; false when the time-out passed first.
    bool waitFor(size_t n, std::chrono::milliseconds timeout) const;
    void reply(const sockaddr_in& to, std::string_view bytes) const;

private:
    void receiveLoop();

    int fd_ = -1;
    Handler onArrival_;
    std::atomic<bool> stop_{false};
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    std::vector<Arrival> arrivals_;
    std::thread thread_;
};

// The Base64 payload of a command, as the command channel puts it on the wire.
std::string CommandPayload(const std::string& command);
// The decoded command text of a payload, or empty text when it is not Base64.
std::string DecodePayload(const std::string& payload);

} // namespace orva::test

#include "UdpPeer.h"

#include "core/protocol/Base64.h"

#include <arpa/inet.h>
#include <cstring>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

namespace orva::test {

UdpPeer::UdpPeer(const std::string& address, uint16_t port, Handler onArrival) : onArrival_(std::move(onArrival)) {
    int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return;
    const int on = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    ::setsockopt(fd, SOL_SOCKET, SO_TIMESTAMPNS, &on, sizeof on);
    ::setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
    const int buffer = 8 * 1024 * 1024;
    ::setsockopt(fd, SOL_SOCKET, SO_RCVBUFFORCE, &buffer, sizeof buffer);
    timeval tv{0, 50'000};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_port = htons(port);
    if (::inet_pton(AF_INET, address.c_str(), &at.sin_addr) != 1 ||
        ::bind(fd, reinterpret_cast<const sockaddr*>(&at), sizeof at) != 0) {
        ::close(fd);
        return;
    }
    fd_ = fd;
    thread_ = std::thread([this] { receiveLoop(); });
}

UdpPeer::~UdpPeer() {
    stop_ = true;
    if (thread_.joinable())
        thread_.join();
    if (fd_ >= 0)
        ::close(fd_);
}

void UdpPeer::receiveLoop() {
    std::vector<char> buffer(65536);
    while (!stop_) {
        Arrival a;
        iovec iov{buffer.data(), buffer.size()};
        alignas(cmsghdr) char control[256];
        msghdr msg{};
        msg.msg_name = &a.from;
        msg.msg_namelen = sizeof a.from;
        msg.msg_iov = &iov;
        msg.msg_iovlen = 1;
        msg.msg_control = control;
        msg.msg_controllen = sizeof control;
        const ssize_t n = ::recvmsg(fd_, &msg, 0);
        if (n < 0)
            continue;
        for (cmsghdr* c = CMSG_FIRSTHDR(&msg); c; c = CMSG_NXTHDR(&msg, c)) {
            if (c->cmsg_level == SOL_SOCKET && c->cmsg_type == SCM_TIMESTAMPNS) {
                timespec ts{};
                std::memcpy(&ts, CMSG_DATA(c), sizeof ts);
                a.kernelNs = static_cast<int64_t>(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
            }
        }
        a.bytes.assign(buffer.data(), static_cast<size_t>(n));
        char text[INET_ADDRSTRLEN] = {};
        ::inet_ntop(AF_INET, &a.from.sin_addr, text, sizeof text);
        a.source = std::string(text) + ":" + std::to_string(ntohs(a.from.sin_port));
        if (onArrival_)
            onArrival_(*this, a);
        {
            std::lock_guard lock(mutex_);
            arrivals_.push_back(std::move(a));
        }
        changed_.notify_all();
    }
}

std::vector<Arrival> UdpPeer::arrivals() const {
    std::lock_guard lock(mutex_);
    return arrivals_;
}

size_t UdpPeer::count() const {
    std::lock_guard lock(mutex_);
    return arrivals_.size();
}

bool UdpPeer::waitFor(size_t n, std::chrono::milliseconds timeout) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return arrivals_.size() >= n; });
}

void UdpPeer::reply(const sockaddr_in& to, std::string_view bytes) const {
    ::sendto(fd_, bytes.data(), bytes.size(), 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
}

std::string CommandPayload(const std::string& command) {
    return Base64Encode(command);
}

std::string DecodePayload(const std::string& payload) {
    std::string text;
    return Base64Decode(payload, text) ? text : std::string();
}

} // namespace orva::test

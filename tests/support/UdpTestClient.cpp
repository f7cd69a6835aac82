#include "UdpTestClient.h"

#include "core/protocol/Base64.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace orva::test {

UdpTestClient::UdpTestClient() : fd_(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0)) {
    if (fd_ < 0)
        throw std::runtime_error("socket failed");
    int on = 1;
    ::setsockopt(fd_, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
}

UdpTestClient::~UdpTestClient() {
    ::close(fd_);
}

void UdpTestClient::send(const std::string& address, uint16_t port, const std::string& command) {
    sendRaw(address, port, Base64Encode(command));
}

void UdpTestClient::sendRaw(const std::string& address, uint16_t port, const std::string& bytes) {
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    // Only loopback destinations are ever used here; anything else is a fault in the test itself.
    if (::inet_pton(AF_INET, address.c_str(), &to.sin_addr) != 1 || (ntohl(to.sin_addr.s_addr) >> 24) != 127)
        throw std::runtime_error("test client refuses to send to " + address);
    if (::sendto(fd_, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to) < 0)
        throw std::runtime_error("sendto failed");
}

std::optional<std::string> UdpTestClient::receiveRaw(std::chrono::milliseconds timeout) {
    pollfd p{fd_, POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(timeout.count())) <= 0)
        return std::nullopt;
    std::string buf(65536, '\0');
    ssize_t n = ::recv(fd_, buf.data(), buf.size(), 0);
    if (n < 0)
        return std::nullopt;
    buf.resize(size_t(n));
    return buf;
}

std::optional<std::string> UdpTestClient::receive(std::chrono::milliseconds timeout) {
    auto raw = receiveRaw(timeout);
    if (!raw)
        return std::nullopt;
    std::string text;
    if (!Base64Decode(*raw, text))
        return std::string("<undecodable>");
    return text;
}

std::string UdpTestClient::exchange(const std::string& address, uint16_t port, const std::string& command) {
    send(address, port, command);
    return receive().value_or("<no reply>");
}

std::string UdpTestClient::localAddress() const {
    sockaddr_in a{};
    socklen_t len = sizeof a;
    ::getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len);
    char text[INET_ADDRSTRLEN] = {};
    ::inet_ntop(AF_INET, &a.sin_addr, text, sizeof text);
    // An unbound socket reports 0.0.0.0; the sender's address on loopback is 127.0.0.1.
    std::string host = std::string(text) == "0.0.0.0" ? "127.0.0.1" : text;
    return host + ":" + std::to_string(ntohs(a.sin_port));
}

} // namespace orva::test

#pragma once
// A plain UDP client for talking to the simulator the way the tool does: Base64 command lines out,
// Base64 reply lines back to the same (system-chosen) source port.
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

namespace orva::test {

class UdpTestClient {
public:
    UdpTestClient();
    ~UdpTestClient();
    UdpTestClient(const UdpTestClient&) = delete;
    UdpTestClient& operator=(const UdpTestClient&) = delete;

    void send(const std::string& address, uint16_t port, const std::string& command);
    void sendRaw(const std::string& address, uint16_t port, const std::string& bytes);
    // The next datagram as it came, or nullopt when none came within the time-out.
    std::optional<std::string> receiveRaw(std::chrono::milliseconds timeout = std::chrono::seconds(5));
    // The next datagram decoded from Base64; "<undecodable>" when it is not Base64.
    std::optional<std::string> receive(std::chrono::milliseconds timeout = std::chrono::seconds(5));
    // send + receive; "<no reply>" when nothing came.
    std::string exchange(const std::string& address, uint16_t port, const std::string& command);
    // "127.0.0.1:PORT" once something was sent.
    std::string localAddress() const;

private:
    int fd_ = -1;
};

} // namespace orva::test

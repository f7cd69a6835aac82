#include "FakeGateway.h"

#include "core/protocol/Base64.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace orva::test {
namespace {

sockaddr_in MakeAddress(const std::string& address, uint16_t port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    if (inet_pton(AF_INET, address.c_str(), &a.sin_addr) != 1)
        throw std::runtime_error("bad test address " + address);
    return a;
}

int BoundSocket(const std::string& address, uint16_t port) {
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        throw std::runtime_error("socket");
    const sockaddr_in a = MakeAddress(address, port);
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&a), sizeof a) != 0) {
        ::close(fd);
        throw std::runtime_error("bind " + address);
    }
    return fd;
}

} // namespace

Answer ReplyLine(const std::string& line, const std::string& from) {
    return Answer{Base64Encode(line), from, 0};
}

FakeGateway::Responder AnswerEveryTime(const std::string& line) {
    return [line](const std::string&) {
        return line.empty() ? std::vector<Answer>{} : std::vector<Answer>{ReplyLine(line)};
    };
}

FakeGateway::FakeGateway(const std::string& address, Responder responder, uint16_t port)
    : responder_(std::move(responder)) {
    fd_ = BoundSocket(address, port);
    sockaddr_in bound{};
    socklen_t len = sizeof bound;
    ::getsockname(fd_, reinterpret_cast<sockaddr*>(&bound), &len);
    port_ = ntohs(bound.sin_port);
    thread_ = std::jthread([this](std::stop_token stop) { run(stop); });
}

FakeGateway::~FakeGateway() {
    thread_.request_stop();
    if (thread_.joinable())
        thread_.join();
    ::close(fd_);
}

std::vector<std::string> FakeGateway::received() const {
    std::lock_guard lock(mutex_);
    return received_;
}

bool FakeGateway::waitForDatagrams(size_t count, std::chrono::seconds limit) const {
    std::unique_lock lock(mutex_);
    return arrived_.wait_for(lock, limit, [&] { return received_.size() >= count; });
}

bool FakeGateway::waitForPayload(const std::string& payload, std::chrono::seconds limit) const {
    std::unique_lock lock(mutex_);
    return arrived_.wait_for(lock, limit, [&] {
        for (const auto& p : received_)
            if (p == payload)
                return true;
        return false;
    });
}

void FakeGateway::run(std::stop_token stop) {
    std::vector<char> buffer(65536);
    while (!stop.stop_requested()) {
        pollfd p{fd_, POLLIN, 0};
        if (::poll(&p, 1, 20) <= 0)
            continue;
        sockaddr_in sender{};
        socklen_t len = sizeof sender;
        const ssize_t n = ::recvfrom(fd_, buffer.data(), buffer.size(), 0, reinterpret_cast<sockaddr*>(&sender), &len);
        if (n < 0)
            continue;
        const std::string payload(buffer.data(), static_cast<size_t>(n));
        {
            std::lock_guard lock(mutex_);
            received_.push_back(payload);
        }
        arrived_.notify_all();
        if (!responder_)
            continue;
        for (const Answer& answer : responder_(payload)) {
            if (answer.delayMs > 0)
                std::this_thread::sleep_for(std::chrono::milliseconds(answer.delayMs));
            if (answer.from.empty()) {
                ::sendto(fd_, answer.payload.data(), answer.payload.size(), 0,
                         reinterpret_cast<const sockaddr*>(&sender), len);
            } else {
                const int other = BoundSocket(answer.from, 0);
                ::sendto(other, answer.payload.data(), answer.payload.size(), 0,
                         reinterpret_cast<const sockaddr*>(&sender), len);
                ::close(other);
            }
        }
    }
}

} // namespace orva::test

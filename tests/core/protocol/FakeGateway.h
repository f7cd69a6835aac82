#pragma once
// A stand-in gateway for the channel tests: a UDP socket bound to a loopback address that records
// every datagram it receives and answers what the test tells it to.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace orva::test {

struct Answer {
    std::string payload; // sent as it stands (a test may send something that is not Base64)
    std::string from;    // source address; empty: the gateway's own socket
    int delayMs = 0;     // pause before this answer
};

// An answer whose payload is the Base64 text of the reply line.
Answer ReplyLine(const std::string& line, const std::string& from = {});

class FakeGateway {
public:
    using Responder = std::function<std::vector<Answer>(const std::string& payload)>;

    // Port 0 picks a free port, so each test can have its gateway without clashing with another
    // test of the same subnet running at the same time.
    explicit FakeGateway(const std::string& address, Responder responder = {}, uint16_t port = 0);
    ~FakeGateway();
    FakeGateway(const FakeGateway&) = delete;
    FakeGateway& operator=(const FakeGateway&) = delete;

    uint16_t port() const { return port_; }
    // Payloads received so far, in arrival order.
    std::vector<std::string> received() const;
    // Blocks until at least `count` datagrams arrived (false if they did not within the limit).
    bool waitForDatagrams(size_t count, std::chrono::seconds limit = std::chrono::seconds(20)) const;

    // Blocks until this payload arrived; everything sent before it has then been recorded too.
    bool waitForPayload(const std::string& payload, std::chrono::seconds limit = std::chrono::seconds(20)) const;

private:
    void run(std::stop_token stop);

    int fd_ = -1;
    uint16_t port_ = 0;
    Responder responder_;
    mutable std::mutex mutex_;
    mutable std::condition_variable arrived_;
    std::vector<std::string> received_;
    std::jthread thread_;
};

// Always the same answer, or none for an empty line.
FakeGateway::Responder AnswerEveryTime(const std::string& line);

} // namespace orva::test

#pragma once
// A small HTTP server on 127.0.0.1 that misbehaves on purpose: it accepts and never answers, closes in
// the middle of a body, sends far more than any service would, or answers very slowly.
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace orva::test {

enum class ServerFault {
    None,              // answers at once, as a service should (for the cases that must still work)
    Hang,              // reads the request, never answers, keeps the connection open
    CloseMidBody,      // announces a body, sends a part of it and closes
    HugeWithLength,    // announces 50 MB and sends them
    HugeWithoutLength, // sends 50 MB without announcing a length, then closes
    SlowWithinLimit,   // sends a short answer a few bytes at a time, done well within the time-out
    SlowBeyondLimit,   // sends an answer one byte every half second, for far longer than the time-out
};

const char* FaultName(ServerFault fault);

class BadHttpServer {
public:
    static constexpr size_t kHugeBytes = 50u * 1024 * 1024;

    // `answer` is the body the slow modes send (and the first bytes of the others).
    BadHttpServer(ServerFault fault, std::string answer);
    ~BadHttpServer();
    BadHttpServer(const BadHttpServer&) = delete;
    BadHttpServer& operator=(const BadHttpServer&) = delete;

    std::string url(const std::string& path = "/") const;
    // Requests whose headers were read so far.
    int requests() const { return requests_.load(); }
    // Body bytes written to clients so far.
    size_t bytesSent() const { return sent_.load(); }

private:
    void acceptLoop(std::stop_token stop);
    void serve(int fd, std::stop_token stop);
    bool sendAll(int fd, const char* data, size_t n, std::stop_token& stop);

    ServerFault fault_;
    std::string answer_;
    int listenFd_ = -1;
    uint16_t port_ = 0;
    std::atomic<int> requests_{0};
    std::atomic<size_t> sent_{0};
    std::mutex mutex_;
    std::vector<std::jthread> connections_;
    std::jthread acceptor_;
};

} // namespace orva::test

#include "BadHttpServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstring>
#include <stdexcept>

namespace orva::test {

const char* FaultName(ServerFault fault) {
    switch (fault) {
    case ServerFault::None:
        return "None";
    case ServerFault::Hang:
        return "Hang";
    case ServerFault::CloseMidBody:
        return "CloseMidBody";
    case ServerFault::HugeWithLength:
        return "HugeWithLength";
    case ServerFault::HugeWithoutLength:
        return "HugeWithoutLength";
    case ServerFault::SlowWithinLimit:
        return "SlowWithinLimit";
    case ServerFault::SlowBeyondLimit:
        return "SlowBeyondLimit";
    }
    return "?";
}

namespace {

// Waits up to `ms` for fd to become readable, looking at the stop request every 50 ms.
bool waitReadable(int fd, int ms, std::stop_token& stop) {
    for (int waited = 0; waited < ms && !stop.stop_requested(); waited += 50) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 50) > 0)
            return true;
    }
    return false;
}

// Sleeps `ms` unless a stop request comes first; false when it did.
bool pauseFor(int ms, std::stop_token& stop) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < end) {
        if (stop.stop_requested())
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return !stop.stop_requested();
}

// Reads the request head and as much of its body as Content-Length announces.
bool readRequest(int fd, std::stop_token& stop) {
    std::string in;
    char buf[4096];
    size_t headEnd = std::string::npos;
    size_t want = 0;
    while (!stop.stop_requested()) {
        if (headEnd != std::string::npos && in.size() >= headEnd + 4 + want)
            return true;
        if (!waitReadable(fd, 10000, stop))
            return false;
        const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
        if (n <= 0)
            return false;
        in.append(buf, static_cast<size_t>(n));
        if (headEnd == std::string::npos && (headEnd = in.find("\r\n\r\n")) != std::string::npos) {
            std::string head = in.substr(0, headEnd);
            for (auto& c : head)
                c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            const size_t cl = head.find("content-length:");
            if (cl != std::string::npos)
                want = std::stoul(head.substr(cl + 15));
        }
    }
    return false;
}

} // namespace

BadHttpServer::BadHttpServer(ServerFault fault, std::string answer) : fault_(fault), answer_(std::move(answer)) {
    listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = 0;
    socklen_t len = sizeof a;
    if (listenFd_ < 0 || ::bind(listenFd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
        ::listen(listenFd_, 16) != 0 || ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&a), &len) != 0)
        throw std::runtime_error("cannot listen on 127.0.0.1");
    port_ = ntohs(a.sin_port);
    acceptor_ = std::jthread([this](std::stop_token st) { acceptLoop(st); });
}

BadHttpServer::~BadHttpServer() {
    acceptor_.request_stop();
    acceptor_.join();
    std::vector<std::jthread> connections;
    {
        std::lock_guard lock(mutex_);
        connections.swap(connections_);
    }
    connections.clear(); // each asks its thread to stop and joins it
    ::close(listenFd_);
}

std::string BadHttpServer::url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
}

void BadHttpServer::acceptLoop(std::stop_token stop) {
    while (!stop.stop_requested()) {
        pollfd p{listenFd_, POLLIN, 0};
        if (::poll(&p, 1, 50) <= 0)
            continue;
        const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0)
            continue;
        std::lock_guard lock(mutex_);
        connections_.emplace_back([this, fd](std::stop_token st) {
            serve(fd, st);
            ::close(fd);
        });
    }
}

bool BadHttpServer::sendAll(int fd, const char* data, size_t n, std::stop_token& stop) {
    size_t done = 0;
    while (done < n && !stop.stop_requested()) {
        pollfd p{fd, POLLOUT, 0};
        if (::poll(&p, 1, 50) <= 0)
            continue;
        const ssize_t w = ::send(fd, data + done, n - done, MSG_NOSIGNAL);
        if (w <= 0)
            return false; // the client went away
        done += static_cast<size_t>(w);
    }
    return done == n;
}

void BadHttpServer::serve(int fd, std::stop_token stop) {
    if (!readRequest(fd, stop))
        return;
    ++requests_;
    const auto head = [](const std::string& length) {
        std::string h = "HTTP/1.1 200 OK\r\nContent-Type: text/xml\r\nConnection: close\r\n";
        if (!length.empty())
            h += "Content-Length: " + length + "\r\n";
        return h + "\r\n";
    };
    const auto sendText = [&](const std::string& text) { return sendAll(fd, text.data(), text.size(), stop); };
    const auto sendBody = [&](const char* data, size_t n) {
        if (!sendAll(fd, data, n, stop))
            return false;
        sent_ += n;
        return true;
    };

    switch (fault_) {
    case ServerFault::None:
        if (sendText(head(std::to_string(answer_.size()))))
            sendBody(answer_.data(), answer_.size());
        return;
    case ServerFault::Hang: {
        // Holds the connection until the client gives up (or the test ends).
        char buf[256];
        while (waitReadable(fd, 60000, stop)) {
            if (::recv(fd, buf, sizeof buf, 0) <= 0)
                return;
        }
        return;
    }
    case ServerFault::CloseMidBody: {
        const std::string body = answer_ + std::string(4096, ' ');
        if (sendText(head(std::to_string(body.size()))))
            sendBody(body.data(), body.size() / 2);
        return;
    }
    case ServerFault::HugeWithLength:
    case ServerFault::HugeWithoutLength: {
        const bool withLength = fault_ == ServerFault::HugeWithLength;
        if (!sendText(head(withLength ? std::to_string(kHugeBytes) : std::string())))
            return;
        std::string chunk = answer_;
        chunk.resize(64 * 1024, 'x');
        for (size_t left = kHugeBytes; left > 0;) {
            const size_t n = std::min(left, chunk.size());
            if (!sendBody(chunk.data(), n))
                return;
            left -= n;
            chunk.assign(chunk.size(), 'x');
        }
        return;
    }
    case ServerFault::SlowWithinLimit:
    case ServerFault::SlowBeyondLimit: {
        const bool beyond = fault_ == ServerFault::SlowBeyondLimit;
        const std::string body = beyond ? answer_ + std::string(200, ' ') : answer_;
        if (!sendText(head(std::to_string(body.size()))))
            return;
        const size_t piece = beyond ? 1 : 4;
        const int gapMs = beyond ? 500 : 20;
        for (size_t at = 0; at < body.size(); at += piece) {
            if (!pauseFor(gapMs, stop) || !sendBody(body.data() + at, std::min(piece, body.size() - at)))
                return;
        }
        return;
    }
    }
}

} // namespace orva::test

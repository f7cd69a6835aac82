#pragma once
// The one HTTP(S) server of the suites: it listens on 127.0.0.1 (a free port), reads each request
// (bounded), asks a responder what to answer and sends it the way the answer says: whole, slowly, cut
// off in the middle, without a length, or never. The peers tests meet (tests/support/HttpPeers.h) are
// responders on it.
#include <atomic>
#include <cstddef>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <stop_token>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace orva::test {

struct HttpRequest {
    std::string method;
    std::string target; // as sent: path and query
    std::string path;
    std::map<std::string, std::string> query; // decoded
    std::vector<std::pair<std::string, std::string>> headers; // in the order received
    std::string body;

    std::string header(const std::string& name) const; // case-insensitive; "" if absent
    std::string queryValue(const std::string& name, const std::string& otherwise = "") const;
};

struct HttpAnswer {
    int status = 200;
    std::string version = "HTTP/1.1";
    std::string type = "text/plain";
    std::vector<std::pair<std::string, std::string>> headers; // sent after Content-Type
    std::string body;

    // How it travels. By default the whole body with its length, and the connection stays open for
    // the client's next request.
    std::optional<std::size_t> announced; // Content-Length sent; default: the bytes sent
    bool withLength = true;               // false: no Content-Length, the end of the body is the close
    std::size_t sendBytes = std::string::npos; // body bytes sent; beyond body.size() the pad follows
    char pad = 'x';
    bool patternPad = false; // pad with serverPattern() instead of `pad`
    bool close = false;      // close the connection after the answer
    std::size_t pieceBytes = 0; // > 0: send the body in pieces this big ...
    int pieceGapMs = 0;         // ... with this pause before each
    bool never = false;         // answer nothing; hold the connection until the client goes

    static HttpAnswer Text(int status, std::string body, std::string type = "text/plain");
};

// The bytes the fixture paths (/big, /file ...) and patterned pads send: printable ASCII, repeating.
std::string serverPattern(std::size_t n);

class HttpPeer {
public:
    using Responder = std::function<HttpAnswer(const HttpRequest&)>;
    struct Tls {
        std::string cert; // PEM files
        std::string key;
    };

    explicit HttpPeer(Responder responder, std::optional<Tls> tls = std::nullopt);
    ~HttpPeer();
    HttpPeer(const HttpPeer&) = delete;
    HttpPeer& operator=(const HttpPeer&) = delete;

    int port() const { return port_; }
    std::string url(const std::string& path, const std::string& host = "127.0.0.1") const;
    int requests() const { return requests_.load(); }     // requests read whole so far
    std::size_t bytesSent() const { return sent_.load(); } // body bytes written to clients so far

    static constexpr std::size_t kMaxHeadBytes = 64 * 1024;
    static constexpr std::size_t kMaxBodyBytes = 64u * 1024 * 1024;

private:
    class Connection;
    void acceptLoop(std::stop_token stop);
    void serve(int fd, std::stop_token stop);
    bool answer(Connection& c, const HttpAnswer& a, std::stop_token& stop);

    Responder responder_;
    struct TlsContext;
    std::unique_ptr<TlsContext> tls_;
    int listenFd_ = -1;
    int port_ = 0;
    std::atomic<int> requests_{0};
    std::atomic<std::size_t> sent_{0};
    std::mutex mutex_;
    std::vector<std::jthread> connections_;
    std::jthread acceptor_;
};

} // namespace orva::test

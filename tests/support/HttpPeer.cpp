#include "HttpPeer.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <climits>
#include <stdexcept>

namespace orva::test {

namespace {

using Clock = std::chrono::steady_clock;

std::string lower(std::string s) {
    for (auto& c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

std::string trim(const std::string& s) {
    const auto b = s.find_first_not_of(" \t");
    const auto e = s.find_last_not_of(" \t\r");
    return b == std::string::npos ? std::string() : s.substr(b, e - b + 1);
}

std::string percentDecode(const std::string& s) {
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '%' && i + 2 < s.size() && std::isxdigit(static_cast<unsigned char>(s[i + 1])) &&
            std::isxdigit(static_cast<unsigned char>(s[i + 2]))) {
            out += static_cast<char>(std::stoi(s.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            out += s[i] == '+' ? ' ' : s[i];
        }
    }
    return out;
}

// Splits the query at '&' and the first '=' of each part; the value may itself hold '?' and '='
// (/redirect?to=/file?n=3000).
std::map<std::string, std::string> parseQuery(const std::string& q) {
    std::map<std::string, std::string> out;
    std::size_t from = 0;
    while (from <= q.size() && !q.empty()) {
        std::size_t amp = q.find('&', from);
        if (amp == std::string::npos)
            amp = q.size();
        const std::string part = q.substr(from, amp - from);
        const std::size_t eq = part.find('=');
        if (!part.empty())
            out[percentDecode(part.substr(0, eq))] = eq == std::string::npos ? "" : percentDecode(part.substr(eq + 1));
        from = amp + 1;
    }
    return out;
}

const char* reason(int status) {
    switch (status) {
    case 200:
        return "OK";
    case 302:
        return "Found";
    case 404:
        return "Not Found";
    case 500:
        return "Internal Server Error";
    default:
        return "Status";
    }
}

} // namespace

std::string serverPattern(std::size_t n) {
    std::string out;
    out.reserve(n);
    for (std::size_t i = 0; i < n; ++i)
        out += static_cast<char>(32 + i % 95);
    return out;
}

std::string HttpRequest::header(const std::string& name) const {
    const std::string want = lower(name);
    for (const auto& [k, v] : headers)
        if (lower(k) == want)
            return v;
    return "";
}

std::string HttpRequest::queryValue(const std::string& name, const std::string& otherwise) const {
    const auto it = query.find(name);
    return it == query.end() ? otherwise : it->second;
}

HttpAnswer HttpAnswer::Text(int status, std::string body, std::string type) {
    HttpAnswer a;
    a.status = status;
    a.body = std::move(body);
    a.type = std::move(type);
    return a;
}

struct HttpPeer::TlsContext {
    SSL_CTX* ctx = nullptr;
    ~TlsContext() { SSL_CTX_free(ctx); }
};

// One client's connection, plain or TLS, on a non-blocking socket, so every wait looks at the stop
// request and a client that stops reading never pins a thread.
class HttpPeer::Connection {
public:
    Connection(int fd, SSL* ssl) : fd_(fd), ssl_(ssl) {}
    ~Connection() {
        if (ssl_) {
            SSL_shutdown(ssl_);
            SSL_free(ssl_);
        }
    }

    bool handshake(std::stop_token& stop) {
        if (!ssl_)
            return true;
        const auto end = Clock::now() + std::chrono::seconds(10);
        while (!stop.stop_requested() && Clock::now() < end) {
            const int r = SSL_accept(ssl_);
            if (r == 1)
                return true;
            const int e = SSL_get_error(ssl_, r);
            if (e != SSL_ERROR_WANT_READ && e != SSL_ERROR_WANT_WRITE)
                return false; // e.g. a client that refused our certificate
            waitFor(e == SSL_ERROR_WANT_READ ? POLLIN : POLLOUT);
        }
        return false;
    }

    // > 0: bytes read; 0: the client closed or failed; -1: nothing within `ms` (or a stop request).
    long readSome(char* buf, std::size_t n, int ms, std::stop_token& stop) {
        const auto end = Clock::now() + std::chrono::milliseconds(ms);
        while (!stop.stop_requested()) {
            short events = POLLIN;
            if (ssl_) {
                const int r = SSL_read(ssl_, buf, static_cast<int>(std::min<std::size_t>(n, INT_MAX)));
                if (r > 0)
                    return r;
                const int e = SSL_get_error(ssl_, r);
                if (e == SSL_ERROR_WANT_WRITE)
                    events = POLLOUT;
                else if (e != SSL_ERROR_WANT_READ)
                    return 0;
            } else {
                const ssize_t r = ::recv(fd_, buf, n, 0);
                if (r > 0)
                    return r;
                if (r == 0 || (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR))
                    return 0;
            }
            if (Clock::now() >= end)
                return -1;
            waitFor(events);
        }
        return -1;
    }

    bool sendAll(const char* data, std::size_t n, std::stop_token& stop) {
        std::size_t done = 0;
        while (done < n && !stop.stop_requested()) {
            short events = POLLOUT;
            if (ssl_) {
                const int w = SSL_write(ssl_, data + done, static_cast<int>(std::min<std::size_t>(n - done, INT_MAX)));
                if (w > 0) {
                    done += static_cast<std::size_t>(w);
                    continue;
                }
                const int e = SSL_get_error(ssl_, w);
                if (e == SSL_ERROR_WANT_READ)
                    events = POLLIN;
                else if (e != SSL_ERROR_WANT_WRITE)
                    return false;
            } else {
                const ssize_t w = ::send(fd_, data + done, n - done, MSG_NOSIGNAL);
                if (w > 0) {
                    done += static_cast<std::size_t>(w);
                    continue;
                }
                if (w < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)
                    return false; // the client went away
            }
            waitFor(events);
        }
        return done == n;
    }

    std::string pending; // bytes read beyond the last request (a pipelined next one)

private:
    void waitFor(short events) {
        pollfd p{fd_, events, 0};
        ::poll(&p, 1, 50);
    }
    int fd_;
    SSL* ssl_;
};

HttpPeer::HttpPeer(Responder responder, std::optional<Tls> tls) : responder_(std::move(responder)) {
    if (tls) {
        // A client that hangs up while a TLS record is being written would raise SIGPIPE otherwise.
        std::signal(SIGPIPE, SIG_IGN);
        tls_ = std::make_unique<TlsContext>();
        tls_->ctx = SSL_CTX_new(TLS_server_method());
        if (!tls_->ctx || SSL_CTX_use_certificate_chain_file(tls_->ctx, tls->cert.c_str()) != 1 ||
            SSL_CTX_use_PrivateKey_file(tls_->ctx, tls->key.c_str(), SSL_FILETYPE_PEM) != 1)
            throw std::runtime_error("cannot load the test certificate " + tls->cert);
        SSL_CTX_set_mode(tls_->ctx, SSL_MODE_ENABLE_PARTIAL_WRITE | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
    }
    listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    if (listenFd_ < 0 || ::bind(listenFd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
        ::listen(listenFd_, 64) != 0 || ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&a), &len) != 0) {
        if (listenFd_ >= 0)
            ::close(listenFd_);
        throw std::runtime_error("cannot listen on 127.0.0.1");
    }
    port_ = ntohs(a.sin_port);
    acceptor_ = std::jthread([this](std::stop_token st) { acceptLoop(st); });
}

HttpPeer::~HttpPeer() {
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

std::string HttpPeer::url(const std::string& path, const std::string& host) const {
    return std::string(tls_ ? "https" : "http") + "://" + host + ":" + std::to_string(port_) + path;
}

void HttpPeer::acceptLoop(std::stop_token stop) {
    while (!stop.stop_requested()) {
        pollfd p{listenFd_, POLLIN, 0};
        if (::poll(&p, 1, 50) <= 0)
            continue;
        const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0)
            continue;
        std::lock_guard lock(mutex_);
        connections_.emplace_back([this, fd](std::stop_token st) {
            serve(fd, st);
            ::close(fd);
        });
    }
}

namespace {

// Reads one request into `r`; false when the client closed, sent something that is not a bounded
// request, or stayed silent for `idleMs`.
template <class Conn>
bool readRequest(Conn& c, HttpRequest& r, int idleMs, std::stop_token& stop) {
    std::string& in = c.pending;
    char buf[16 * 1024];
    std::size_t headEnd;
    while ((headEnd = in.find("\r\n\r\n")) == std::string::npos) {
        if (in.size() > HttpPeer::kMaxHeadBytes)
            return false;
        const long n = c.readSome(buf, sizeof buf, idleMs, stop);
        if (n <= 0)
            return false;
        in.append(buf, static_cast<std::size_t>(n));
    }
    const std::string head = in.substr(0, headEnd);
    in.erase(0, headEnd + 4);

    std::size_t lineEnd = head.find("\r\n");
    const std::string requestLine = head.substr(0, lineEnd);
    const std::size_t sp1 = requestLine.find(' ');
    const std::size_t sp2 = requestLine.find(' ', sp1 + 1);
    if (sp1 == std::string::npos || sp2 == std::string::npos)
        return false;
    r = HttpRequest{};
    r.method = requestLine.substr(0, sp1);
    r.target = requestLine.substr(sp1 + 1, sp2 - sp1 - 1);
    const std::size_t q = r.target.find('?');
    r.path = r.target.substr(0, q);
    if (q != std::string::npos)
        r.query = parseQuery(r.target.substr(q + 1));
    while (lineEnd != std::string::npos) {
        const std::size_t from = lineEnd + 2;
        lineEnd = head.find("\r\n", from);
        const std::string line = head.substr(from, lineEnd == std::string::npos ? std::string::npos : lineEnd - from);
        const std::size_t colon = line.find(':');
        if (colon != std::string::npos)
            r.headers.emplace_back(line.substr(0, colon), trim(line.substr(colon + 1)));
    }

    std::size_t want = 0;
    const std::string length = r.header("Content-Length");
    if (!length.empty()) {
        try {
            want = std::stoul(length);
        } catch (...) {
            return false;
        }
    }
    if (want > HttpPeer::kMaxBodyBytes)
        return false;
    if (lower(r.header("Expect")) == "100-continue") {
        static const std::string cont = "HTTP/1.1 100 Continue\r\n\r\n";
        if (!c.sendAll(cont.data(), cont.size(), stop))
            return false;
    }
    while (in.size() < want) {
        const long n = c.readSome(buf, sizeof buf, 10000, stop);
        if (n <= 0)
            return false;
        in.append(buf, static_cast<std::size_t>(n));
    }
    r.body = in.substr(0, want);
    in.erase(0, want);
    return true;
}

} // namespace

void HttpPeer::serve(int fd, std::stop_token stop) {
    SSL* ssl = nullptr;
    if (tls_) {
        ssl = SSL_new(tls_->ctx);
        if (!ssl)
            return;
        SSL_set_fd(ssl, fd);
    }
    Connection c(fd, ssl);
    if (!c.handshake(stop))
        return;
    // A kept-alive connection waits a minute for its next request, as long as the test lets it.
    for (int idleMs = 10000; !stop.stop_requested(); idleMs = 60000) {
        HttpRequest request;
        if (!readRequest(c, request, idleMs, stop))
            return;
        ++requests_;
        const HttpAnswer a = responder_(request);
        if (!answer(c, a, stop) || a.close || !a.withLength || a.never)
            return;
        if (lower(request.header("Connection")) == "close")
            return;
    }
}

bool HttpPeer::answer(Connection& c, const HttpAnswer& a, std::stop_token& stop) {
    if (a.never) {
        // Holds the connection until the client gives up (or the test ends).
        char buf[256];
        while (!stop.stop_requested() && c.readSome(buf, sizeof buf, 60000, stop) != 0) {
        }
        return false;
    }
    const std::size_t total = a.sendBytes == std::string::npos ? a.body.size() : a.sendBytes;
    std::string head = a.version + " " + std::to_string(a.status) + " " + reason(a.status) + "\r\n";
    head += "Content-Type: " + a.type + "\r\n";
    for (const auto& [k, v] : a.headers)
        head += k + ": " + v + "\r\n";
    if (a.withLength)
        head += "Content-Length: " + std::to_string(a.announced.value_or(total)) + "\r\n";
    if (a.close || !a.withLength)
        head += "Connection: close\r\n";
    head += "\r\n";
    if (!c.sendAll(head.data(), head.size(), stop))
        return false;

    // The body: its own bytes, then the pad, in pieces (64 KiB unless the answer asks for small ones).
    const std::size_t piece = a.pieceBytes > 0 ? a.pieceBytes : 64 * 1024;
    std::string chunk;
    for (std::size_t at = 0; at < total;) {
        if (a.pieceGapMs > 0) {
            const auto end = Clock::now() + std::chrono::milliseconds(a.pieceGapMs);
            while (Clock::now() < end && !stop.stop_requested())
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        const std::size_t n = std::min(piece, total - at);
        chunk.clear();
        if (at < a.body.size())
            chunk = a.body.substr(at, std::min(n, a.body.size() - at));
        if (chunk.size() < n) {
            if (a.patternPad) {
                // The pattern continues where the whole body would be, so pieces join into serverPattern(total).
                for (std::size_t i = at + chunk.size(); chunk.size() < n; ++i)
                    chunk += static_cast<char>(32 + i % 95);
            } else {
                chunk.append(n - chunk.size(), a.pad);
            }
        }
        if (!c.sendAll(chunk.data(), chunk.size(), stop))
            return false;
        sent_ += chunk.size();
        at += n;
    }
    return true;
}

} // namespace orva::test

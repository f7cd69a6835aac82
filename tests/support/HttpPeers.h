#pragma once
// The HTTP peers the suites run the tool against, all on the one loopback server of HttpPeer.h:
// - TestHttpServer: the web layer's fixture paths (/echo, /headers, /big, /hang, /login ...), plain or TLS;
// - ScriptedService: a reporting service that answers each POST /report from a list, in order;
// - BadHttpServer: a service that misbehaves on purpose (hangs, breaks off, floods, crawls);
// and the bits around them: an idle listener, a closed port, a throw-away certificate.
#include "HttpPeer.h"

#include <cstddef>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace orva::test {

// Paths (N, L, C, U from the query):
//   /echo            200 with the request body as received
//   /headers         200 with the request's header lines ("Name: value\n" each, then "\n")
//   /big?n=N         200 with N bytes of serverPattern()
//   /nul             200 with a body holding a NUL byte
//   /status?code=C   status C with the body "status C"
//   /hang            reads the request and never answers
//   /login           the file Options::loginReply (404 without one); each body is appended to
//                    Options::requestLog followed by "\n--\n"
//   /file?n=N        download: Content-Length and N pattern bytes
//   /nolength?n=N    download: HTTP/1.0, no Content-Length, the body ended by closing the connection
//   /short?n=N       download: Content-Length N but only half the bytes, then the connection closes
//   /empty           download: Content-Length 0
//   /stream?len=L&n=N  download: Content-Length L, then N pattern bytes (N defaults to L), then close
//   /redirect?to=U   302 with Location U
class TestHttpServer {
public:
    // Every member has its default, so a test names only the ones it sets ({.loginReply = file}).
    struct Options {
        std::string cert{}; // with key: serve HTTPS with that certificate
        std::string key{};
        std::string loginReply{};
        std::string requestLog{};
    };
    TestHttpServer() : TestHttpServer(Options{}) {}
    explicit TestHttpServer(Options options);

    int port() const { return peer_.port(); }
    std::string url(const std::string& path, const std::string& host = "127.0.0.1") const {
        return peer_.url(path, host);
    }

private:
    HttpAnswer respond(const HttpRequest& r) const;
    Options options_;
    mutable std::mutex logMutex_;
    HttpPeer peer_;
};

// A reporting service whose replies are scripted per request, in order; after the script it answers
// `fallback`. A 200 with an empty body is what the client sees as no answer at all.
struct ServiceReply {
    int status = 200;
    std::string body;
    std::string type = "text/xml; charset=utf-8";
};

class ScriptedService {
public:
    using Reply = ServiceReply;
    explicit ScriptedService(std::vector<Reply> script,
                             Reply fallback = {200, "<Response><Code>0</Code></Response>"});

    std::string url() const { return peer_.url("/report"); }
    std::vector<std::string> bodies() const;
    // Runs inside the handler of each request, before it answers (index counts from 0).
    void setOnRequest(std::function<void(std::size_t index, const std::string& body)> hook);

private:
    HttpAnswer respond(const HttpRequest& r);
    mutable std::mutex mutex_;
    std::vector<Reply> script_;
    Reply fallback_;
    std::vector<std::string> bodies_;
    std::function<void(std::size_t, const std::string&)> hook_;
    HttpPeer peer_; // last: it serves only while the members above exist
};

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

// Every request, whatever its path, meets the fault.
class BadHttpServer {
public:
    static constexpr std::size_t kHugeBytes = 50u * 1024 * 1024;

    // `answer` is the body the slow modes send (and the first bytes of the others).
    BadHttpServer(ServerFault fault, std::string answer);

    std::string url(const std::string& path = "/") const { return peer_.url(path); }
    int requests() const { return peer_.requests(); }      // requests whose headers were read so far
    std::size_t bytesSent() const { return peer_.bytesSent(); } // body bytes written to clients so far

private:
    HttpPeer peer_;
};

// A listening TCP socket on 127.0.0.1 that nobody serves, to see whether anything tried to connect.
class IdleListener {
public:
    IdleListener();
    ~IdleListener();
    IdleListener(const IdleListener&) = delete;
    IdleListener& operator=(const IdleListener&) = delete;
    int port() const { return port_; }
    bool wasContacted() const;

private:
    int fd_ = -1;
    int port_ = 0;
};

// A port on 127.0.0.1 where nothing listens (bound once to find it, then released).
int closedPort();

// A self-signed certificate for 127.0.0.1 and localhost, made in dir with the openssl tool; false if
// that failed.
bool makeSelfSignedCertificate(const std::string& dir, std::string& cert, std::string& key);

} // namespace orva::test

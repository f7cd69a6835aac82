#include "HttpPeers.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace orva::test {

namespace {

std::size_t count(const HttpRequest& r, const std::string& name, std::size_t otherwise = 0) {
    try {
        const std::string v = r.queryValue(name);
        return v.empty() ? otherwise : std::stoul(v);
    } catch (...) {
        return otherwise;
    }
}

} // namespace

TestHttpServer::TestHttpServer(Options options)
    : options_(std::move(options)),
      peer_([this](const HttpRequest& r) { return respond(r); },
            options_.cert.empty() ? std::nullopt : std::optional<HttpPeer::Tls>(HttpPeer::Tls{options_.cert, options_.key})) {}

HttpAnswer TestHttpServer::respond(const HttpRequest& r) const {
    const std::size_t n = count(r, "n");
    if (r.path == "/echo")
        return HttpAnswer::Text(200, r.body);
    if (r.path == "/headers") {
        std::string lines;
        for (const auto& [k, v] : r.headers)
            lines += k + ": " + v + "\n";
        return HttpAnswer::Text(200, lines + "\n");
    }
    if (r.path == "/big" || r.path == "/file")
        return HttpAnswer::Text(200, serverPattern(n));
    if (r.path == "/nul")
        return HttpAnswer::Text(200, std::string("before\0after", 12));
    if (r.path == "/status") {
        const int code = static_cast<int>(count(r, "code", 500));
        return HttpAnswer::Text(code, "status " + std::to_string(code));
    }
    if (r.path == "/hang") {
        HttpAnswer a;
        a.never = true;
        return a;
    }
    if (r.path == "/login") {
        if (!options_.requestLog.empty()) {
            std::lock_guard lock(logMutex_);
            std::ofstream(options_.requestLog, std::ios::binary | std::ios::app) << r.body << "\n--\n";
        }
        if (options_.loginReply.empty())
            return HttpAnswer::Text(404, "no reply configured");
        std::ifstream in(options_.loginReply, std::ios::binary);
        return HttpAnswer::Text(200, std::string(std::istreambuf_iterator<char>(in), {}));
    }
    if (r.path == "/nolength") {
        HttpAnswer a = HttpAnswer::Text(200, serverPattern(n));
        a.version = "HTTP/1.0";
        a.withLength = false;
        return a;
    }
    if (r.path == "/short") {
        HttpAnswer a = HttpAnswer::Text(200, serverPattern(n / 2));
        a.announced = n;
        a.close = true;
        return a;
    }
    if (r.path == "/empty")
        return HttpAnswer::Text(200, "");
    if (r.path == "/stream") {
        const std::size_t announced = count(r, "len");
        HttpAnswer a;
        a.announced = announced;
        a.sendBytes = count(r, "n", announced);
        a.patternPad = true;
        a.close = true;
        return a;
    }
    if (r.path == "/redirect") {
        HttpAnswer a = HttpAnswer::Text(302, "");
        a.headers.emplace_back("Location", r.queryValue("to", "/"));
        return a;
    }
    return HttpAnswer::Text(404, "not found");
}

ScriptedService::ScriptedService(std::vector<Reply> script, Reply fallback)
    : script_(std::move(script)), fallback_(std::move(fallback)),
      peer_([this](const HttpRequest& r) { return respond(r); }) {}

HttpAnswer ScriptedService::respond(const HttpRequest& r) {
    if (r.method != "POST" || r.path != "/report")
        return HttpAnswer::Text(404, "not found");
    std::size_t index;
    Reply reply;
    std::function<void(std::size_t, const std::string&)> hook;
    {
        std::lock_guard lock(mutex_);
        index = bodies_.size();
        bodies_.push_back(r.body);
        reply = index < script_.size() ? script_[index] : fallback_;
        hook = hook_;
    }
    if (hook)
        hook(index, r.body);
    return HttpAnswer::Text(reply.status, reply.body, reply.type);
}

std::vector<std::string> ScriptedService::bodies() const {
    std::lock_guard lock(mutex_);
    return bodies_;
}

void ScriptedService::setOnRequest(std::function<void(std::size_t, const std::string&)> hook) {
    std::lock_guard lock(mutex_);
    hook_ = std::move(hook);
}

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

HttpAnswer FaultAnswer(ServerFault fault, const std::string& answer) {
    HttpAnswer a = HttpAnswer::Text(200, answer, "text/xml");
    a.close = true;
    switch (fault) {
    case ServerFault::None:
        break;
    case ServerFault::Hang:
        a.never = true;
        break;
    case ServerFault::CloseMidBody:
        a.body += std::string(4096, ' ');
        a.announced = a.body.size();
        a.sendBytes = a.body.size() / 2;
        break;
    case ServerFault::HugeWithLength:
    case ServerFault::HugeWithoutLength:
        a.sendBytes = BadHttpServer::kHugeBytes;
        a.withLength = fault == ServerFault::HugeWithLength;
        break;
    case ServerFault::SlowWithinLimit:
        a.pieceBytes = 4;
        a.pieceGapMs = 20;
        break;
    case ServerFault::SlowBeyondLimit:
        a.body += std::string(200, ' ');
        a.pieceBytes = 1;
        a.pieceGapMs = 500;
        break;
    }
    return a;
}

} // namespace

BadHttpServer::BadHttpServer(ServerFault fault, std::string answer)
    : peer_([a = FaultAnswer(fault, answer)](const HttpRequest&) { return a; }) {}

IdleListener::IdleListener() {
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    if (fd_ < 0 || ::bind(fd_, reinterpret_cast<sockaddr*>(&a), len) != 0 || ::listen(fd_, 4) != 0 ||
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len) != 0)
        throw std::runtime_error("listener failed");
    port_ = ntohs(a.sin_port);
}

IdleListener::~IdleListener() {
    ::close(fd_);
}

bool IdleListener::wasContacted() const {
    pollfd p{fd_, POLLIN, 0};
    return ::poll(&p, 1, 0) > 0;
}

int closedPort() {
    IdleListener l;
    return l.port();
}

bool makeSelfSignedCertificate(const std::string& dir, std::string& cert, std::string& key) {
    cert = dir + "/cert.pem";
    key = dir + "/key.pem";
    const std::string cmd = "openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 2"
                            " -subj /CN=127.0.0.1 -addext subjectAltName=IP:127.0.0.1,DNS:localhost"
                            " -keyout '" +
                            key + "' -out '" + cert + "' >/dev/null 2>&1";
    return std::system(cmd.c_str()) == 0;
}

} // namespace orva::test

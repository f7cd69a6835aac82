#include "sim/ServiceEndpoints.h"

#include "sim/LoopbackAddress.h"
#include "sim/TimeText.h"

#include <httplib.h>
#include <nlohmann/json.hpp>

#include <arpa/inet.h>
#include <atomic>
#include <csignal>
#include <filesystem>
#include <netinet/in.h>
#include <sys/socket.h>

namespace orva::sim {
namespace {

constexpr const char* kXmlType = "text/xml; charset=utf-8";

std::string unescapeXml(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '&') {
            out += text[i];
            continue;
        }
        auto semi = text.find(';', i);
        if (semi == std::string::npos) {
            out += text[i];
            continue;
        }
        std::string name = text.substr(i + 1, semi - i - 1);
        static const std::pair<const char*, const char*> kNamed[] = {
            {"lt", "<"}, {"gt", ">"}, {"amp", "&"}, {"quot", "\""}, {"apos", "'"}};
        bool done = false;
        for (const auto& [n, v] : kNamed) {
            if (name == n) {
                out += v;
                done = true;
            }
        }
        if (!done && name.size() > 1 && name[0] == '#') {
            bool hex = name[1] == 'x' || name[1] == 'X';
            unsigned long cp = std::strtoul(name.c_str() + (hex ? 2 : 1), nullptr, hex ? 16 : 10);
            if (cp > 0 && cp < 0x110000) {
                // UTF-8 encoding of the code point.
                if (cp < 0x80) {
                    out += char(cp);
                } else if (cp < 0x800) {
                    out += char(0xC0 | (cp >> 6));
                    out += char(0x80 | (cp & 0x3F));
                } else if (cp < 0x10000) {
                    out += char(0xE0 | (cp >> 12));
                    out += char(0x80 | ((cp >> 6) & 0x3F));
                    out += char(0x80 | (cp & 0x3F));
                } else {
                    out += char(0xF0 | (cp >> 18));
                    out += char(0x80 | ((cp >> 12) & 0x3F));
                    out += char(0x80 | ((cp >> 6) & 0x3F));
                    out += char(0x80 | (cp & 0x3F));
                }
                done = true;
            }
        }
        if (!done) {
            out += text[i];
            continue;
        }
        i = semi;
    }
    return out;
}

// The unescaped text of the first element `name` ("<name>text</name>" or "<name/>"); false when absent.
bool elementText(const std::string& doc, const std::string& name, std::string& text) {
    if (doc.find("<" + name + "/>") != std::string::npos && doc.find("<" + name + ">") == std::string::npos) {
        text.clear();
        return true;
    }
    auto open = doc.find("<" + name + ">");
    if (open == std::string::npos)
        return false;
    open += name.size() + 2;
    auto close = doc.find("</" + name + ">", open);
    if (close == std::string::npos)
        return false;
    text = unescapeXml(doc.substr(open, close - open));
    return true;
}

std::string escapeXml(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '&':
            out += "&amp;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

// Ends the connection that carries `req` without a byte of answer, as a service that dies mid-request
// does. httplib has no call for it, so the connection's socket is found and shut down.
void dropConnection(const httplib::Request& req) {
    if (req.ssl) {
        ::shutdown(SSL_get_fd(req.ssl), SHUT_RDWR);
        return;
    }
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd", ec)) {
        int fd = std::atoi(entry.path().filename().c_str());
        sockaddr_in local{}, peer{};
        socklen_t ll = sizeof local, pl = sizeof peer;
        if (::getsockname(fd, reinterpret_cast<sockaddr*>(&local), &ll) != 0 || local.sin_family != AF_INET ||
            ::getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &pl) != 0)
            continue;
        if (ntohs(local.sin_port) == req.local_port && ntohs(peer.sin_port) == req.remote_port) {
            ::shutdown(fd, SHUT_RDWR);
            return;
        }
    }
}

} // namespace

ServiceEndpoints::ServiceEndpoints(Options options)
    : options_(std::move(options)), reportMode_(options_.reportMode), updateVersion_(options_.updateVersion) {}

ServiceEndpoints::~ServiceEndpoints() {
    stop();
}

Result<void> ServiceEndpoints::start() {
    if (!endpoints_.empty())
        return Failure{"already running"};
    // httplib writes to its sockets without MSG_NOSIGNAL: a client that hangs up (or a connection dropped
    // on purpose) must not kill the whole process.
    std::signal(SIGPIPE, SIG_IGN);
    {
        std::lock_guard lock(mutex_);
        stopping_ = false;
        if (!options_.reportsFile.empty()) {
            reportsFile_.open(options_.reportsFile, std::ios::app | std::ios::binary);
            if (!reportsFile_)
                return Failure{"cannot open reports file " + options_.reportsFile};
        }
    }
    for (const auto& [text, tls] : {std::pair{&options_.http, false}, std::pair{&options_.https, true}}) {
        if (text->empty())
            continue;
        if (Result<void> serving = startEndpoint(*text, tls); !serving) {
            stop();
            return serving;
        }
    }
    return {};
}

Result<void> ServiceEndpoints::startEndpoint(const std::string& text, bool tls) {
    const Result<LoopbackEndpoint> endpoint = ParseLoopbackEndpoint(text);
    if (!endpoint)
        return Failure{endpoint.error()};
    const std::string& host = endpoint.value().host;
    int port = endpoint.value().port;
    Endpoint ep;
    ep.host = host;
    ep.scheme = tls ? "https" : "http";
    if (tls) {
        if (options_.certFile.empty() || options_.keyFile.empty())
            return Failure{"https needs a certificate and a key file"};
        ep.server = std::make_unique<httplib::SSLServer>(options_.certFile.c_str(), options_.keyFile.c_str());
        if (!ep.server->is_valid())
            return Failure{"cannot load the certificate " + options_.certFile + " or the key " + options_.keyFile};
    } else {
        ep.server = std::make_unique<httplib::Server>();
    }
    if (port == 0) {
        port = ep.server->bind_to_any_port(host);
        if (port <= 0)
            return Failure{"cannot bind " + text};
    } else if (!ep.server->bind_to_port(host, port)) {
        return Failure{"cannot bind " + text};
    }
    (tls ? httpsPort_ : httpPort_) = port;
    install(*ep.server, ep.scheme, host + ":" + std::to_string(port));
    httplib::Server* server = ep.server.get();
    auto ended = std::make_shared<std::atomic<bool>>(false);
    ep.thread = std::thread([server, ended] {
        server->listen_after_bind();
        *ended = true;
    });
    // httplib's stop() only closes the socket of a server whose accept loop is already running; one that
    // has not got there yet would start afterwards and never end. So the endpoint counts as started only
    // once its loop runs, and stop() is then always able to end it.
    while (!server->is_running() && !*ended)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    if (*ended) {
        ep.thread.join();
        return Failure{"cannot serve " + text};
    }
    endpoints_.push_back(std::move(ep));
    return {};
}

void ServiceEndpoints::stop() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    for (auto& ep : endpoints_) {
        ep.server->stop();
        if (ep.thread.joinable())
            ep.thread.join();
    }
    endpoints_.clear();
    httpPort_ = httpsPort_ = 0;
    std::lock_guard lock(mutex_);
    if (reportsFile_.is_open())
        reportsFile_.close();
}

std::string ServiceEndpoints::httpUrl() const {
    for (const auto& ep : endpoints_) {
        if (ep.scheme == "http")
            return "http://" + ep.host + ":" + std::to_string(httpPort_);
    }
    return {};
}

std::string ServiceEndpoints::httpsUrl() const {
    for (const auto& ep : endpoints_) {
        if (ep.scheme == "https")
            return "https://" + ep.host + ":" + std::to_string(httpsPort_);
    }
    return {};
}

std::string ServiceEndpoints::describe() const {
    std::string out;
    for (const auto& ep : endpoints_) {
        if (!out.empty())
            out += ", ";
        out += ep.scheme + " " + ep.host + ":" + std::to_string(ep.scheme == "https" ? httpsPort_ : httpPort_);
    }
    return out;
}

void ServiceEndpoints::setReportMode(ReportMode mode) {
    std::lock_guard lock(mutex_);
    reportMode_ = mode;
}

void ServiceEndpoints::setUpdateVersion(const std::string& version) {
    std::lock_guard lock(mutex_);
    updateVersion_ = version;
}

std::vector<ReceivedReport> ServiceEndpoints::reports() const {
    std::lock_guard lock(mutex_);
    return reports_;
}

bool ServiceEndpoints::waitForReports(size_t n, std::chrono::milliseconds timeout) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return reports_.size() >= n; });
}

std::vector<LoginAttempt> ServiceEndpoints::logins() const {
    std::lock_guard lock(mutex_);
    return logins_;
}

int ServiceEndpoints::downloads() const {
    std::lock_guard lock(mutex_);
    return downloads_;
}

std::string ServiceEndpoints::installer() const {
    std::string version;
    {
        std::lock_guard lock(mutex_);
        version = updateVersion_;
    }
    std::string line = "orva installer " + version + " (served by orva-gateway-sim)\n";
    std::string out;
    while (out.size() < 8192)
        out += line;
    return out;
}

void ServiceEndpoints::pause(int ms) {
    std::unique_lock lock(mutex_);
    changed_.wait_for(lock, std::chrono::milliseconds(ms), [&] { return stopping_; });
}

void ServiceEndpoints::install(httplib::Server& server, const std::string& scheme, const std::string& hostPort) {
    const std::string baseUrl = scheme + "://" + hostPort;
    server.Post(kLoginPath, [this, baseUrl](const httplib::Request& req, httplib::Response& res) {
        handleLogin(req, res, baseUrl);
    });
    server.Post(kReportPath, [this](const httplib::Request& req, httplib::Response& res) { handleReport(req, res); });
    server.Get(kInstallerPath, [this](const httplib::Request&, httplib::Response& res) {
        {
            std::lock_guard lock(mutex_);
            ++downloads_;
        }
        res.status = 200;
        res.set_content(installer(), "application/octet-stream");
    });
}

void ServiceEndpoints::handleLogin(const httplib::Request& req, httplib::Response& res, const std::string& baseUrl) {
    LoginAttempt attempt;
    if (req.body.find("<SoftWareLogin>") == std::string::npos || !elementText(req.body, "UserName", attempt.user) ||
        !elementText(req.body, "UserPassWD", attempt.password)) {
        res.status = 400;
        res.set_content("not a login request\n", "text/plain");
        return;
    }
    for (const auto& u : options_.users) {
        if (u.name == attempt.user && u.password == attempt.password)
            attempt.accepted = true;
    }
    std::string update;
    {
        std::lock_guard lock(mutex_);
        logins_.push_back(attempt);
        update = updateVersion_;
    }
    std::string reply = "<SoftWareLogin><LoginResult>";
    reply += attempt.accepted ? "success" : "fail";
    reply += "</LoginResult>";
    if (attempt.accepted && !update.empty()) {
        reply += "<UpdateSoftWareVersion>" + escapeXml(update) + "</UpdateSoftWareVersion>";
        reply += "<DownLoadURL>" + escapeXml(baseUrl + kInstallerPath) + "</DownLoadURL>";
    }
    reply += "</SoftWareLogin>";
    res.status = 200;
    res.set_content(reply, kXmlType);
}

void ServiceEndpoints::handleReport(const httplib::Request& req, httplib::Response& res) {
    ReceivedReport report;
    report.time = LocalTimeText();
    report.path = req.path;
    report.body = req.body;
    elementText(req.body, "SN", report.sn);
    ReportMode mode;
    {
        std::lock_guard lock(mutex_);
        mode = reportMode_;
        // Counted under the same lock as the list, so the k-th report kept is the k-th one answered.
        const size_t number = reports_.size() + 1;
        if (options_.reportFailEvery > 0 && number % static_cast<size_t>(options_.reportFailEvery) == 0)
            mode = options_.reportFailMode;
        if (reportsFile_.is_open()) {
            nlohmann::json j{{"time", report.time}, {"path", report.path}, {"sn", report.sn}, {"body", report.body}};
            reportsFile_ << j.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) << '\n' << std::flush;
        }
        reports_.push_back(std::move(report));
    }
    changed_.notify_all();

    switch (mode) {
    case ReportMode::Ok:
        res.set_content("<Response><Code>0</Code></Response>", kXmlType);
        break;
    case ReportMode::Code1:
        res.set_content("<Response><Code>1</Code></Response>", kXmlType);
        break;
    case ReportMode::Html500:
        res.status = 500;
        res.set_content("<html><head><title>500 Internal Server Error</title></head>"
                        "<body><h1>Internal Server Error</h1></body></html>",
                        "text/html");
        break;
    case ReportMode::Silent:
        dropConnection(req);
        break;
    case ReportMode::Slow:
        pause(options_.slowMs);
        res.set_content("<Response><Code>0</Code></Response>", kXmlType);
        break;
    }
}

} // namespace orva::sim

#pragma once
// The web services the tool talks to, on loopback: the login service (with an optional update
// announcement and the installer download) and the reporting service.
#include "sim/Options.h"

#include <chrono>
#include <condition_variable>
#include <fstream>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace httplib {
class Server;
struct Request;
struct Response;
} // namespace httplib

namespace orva::sim {

struct ReceivedReport {
    std::string time;
    std::string path;
    std::string sn; // text of the first SN element, for a quick look
    std::string body;
};

struct LoginAttempt {
    std::string user;
    std::string password;
    bool accepted = false;
};

class ServiceEndpoints {
public:
    static constexpr const char* kLoginPath = "/login";
    static constexpr const char* kReportPath = "/report";
    static constexpr const char* kInstallerPath = "/download/setup.exe";

    explicit ServiceEndpoints(Options options);
    ~ServiceEndpoints();
    ServiceEndpoints(const ServiceEndpoints&) = delete;
    ServiceEndpoints& operator=(const ServiceEndpoints&) = delete;

    // Binds the endpoints named in the options ("127.0.0.1:PORT"; port 0 picks a free one). Fails,
    // saying why, for a non-loopback address, a bad endpoint text, missing certificate files or a port
    // in use; nothing stays open then.
    Result<void> start();
    void stop();

    int httpPort() const { return httpPort_; }   // 0 when not serving plain HTTP
    int httpsPort() const { return httpsPort_; } // 0 when not serving HTTPS
    std::string httpUrl() const;                 // "http://HOST:PORT", empty when not serving
    std::string httpsUrl() const;
    std::string describe() const; // "http 127.0.0.1:8080, https 127.0.0.1:8443"

    void setReportMode(ReportMode mode);
    void setUpdateVersion(const std::string& version);

    std::vector<ReceivedReport> reports() const;
    bool waitForReports(size_t n, std::chrono::milliseconds timeout) const;
    std::vector<LoginAttempt> logins() const;
    int downloads() const;
    // The bytes served as the installer for the announced version.
    std::string installer() const;

private:
    struct Endpoint {
        std::unique_ptr<httplib::Server> server;
        std::string host;
        std::string scheme;
        std::thread thread;
    };

    Result<void> startEndpoint(const std::string& text, bool tls);
    void install(httplib::Server& server, const std::string& scheme, const std::string& host);
    void handleLogin(const httplib::Request& req, httplib::Response& res, const std::string& baseUrl);
    void handleReport(const httplib::Request& req, httplib::Response& res);
    // Waits up to ms milliseconds; returns early when the endpoints stop.
    void pause(int ms);

    Options options_;
    std::vector<Endpoint> endpoints_;
    int httpPort_ = 0;
    int httpsPort_ = 0;

    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    bool stopping_ = false;
    ReportMode reportMode_;
    std::string updateVersion_;
    std::vector<ReceivedReport> reports_;
    std::vector<LoginAttempt> logins_;
    int downloads_ = 0;
    std::ofstream reportsFile_;
};

} // namespace orva::sim

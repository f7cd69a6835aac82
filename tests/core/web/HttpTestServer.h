#pragma once
// Starts tests/fixtures/http_server.py on 127.0.0.1 (free port) for the time of a test, and makes
// throw-away TLS certificates with the openssl tool.
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <arpa/inet.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

namespace orva::test {

inline std::string fixturePath(const std::string& name) {
    if (const char* src = std::getenv("ORVA_SOURCE_DIR"))
        return std::string(src) + "/tests/fixtures/" + name;
    return (std::filesystem::path(__FILE__).parent_path() / "../../fixtures" / name).lexically_normal().string();
}

// The bytes the server's /big, /file ... paths send.
inline std::string serverPattern(size_t n) {
    std::string out;
    out.reserve(n);
    for (size_t i = 0; i < n; ++i)
        out += static_cast<char>(32 + i % 95);
    return out;
}

class TestHttpServer {
public:
    explicit TestHttpServer(std::vector<std::string> args = {}, std::string scheme = "http")
        : scheme_(std::move(scheme)) {
        int in[2];
        int out[2];
        if (pipe(in) != 0 || pipe(out) != 0)
            throw std::runtime_error("pipe failed");
        pid_ = fork();
        if (pid_ < 0)
            throw std::runtime_error("fork failed");
        if (pid_ == 0) {
            dup2(in[0], 0);
            dup2(out[1], 1);
            close(in[1]);
            close(out[0]);
            std::vector<std::string> argv = {"python3", fixturePath("http_server.py")};
            argv.insert(argv.end(), args.begin(), args.end());
            std::vector<char*> raw;
            for (auto& a : argv)
                raw.push_back(a.data());
            raw.push_back(nullptr);
            execvp("python3", raw.data());
            _exit(127);
        }
        close(in[0]);
        close(out[1]);
        stdin_ = in[1];
        std::string line;
        char c;
        while (read(out[0], &c, 1) == 1 && c != '\n')
            line += c;
        close(out[0]);
        if (line.rfind("PORT ", 0) != 0) {
            stop();
            throw std::runtime_error("test server did not start: " + line);
        }
        port_ = std::stoi(line.substr(5));
    }
    ~TestHttpServer() { stop(); }
    TestHttpServer(const TestHttpServer&) = delete;
    TestHttpServer& operator=(const TestHttpServer&) = delete;

    int port() const { return port_; }
    std::string url(const std::string& path, const std::string& host = "127.0.0.1") const {
        return scheme_ + "://" + host + ":" + std::to_string(port_) + path;
    }

private:
    void stop() {
        if (stdin_ >= 0)
            close(stdin_);
        stdin_ = -1;
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
        }
        pid_ = -1;
    }
    std::string scheme_;
    pid_t pid_ = -1;
    int stdin_ = -1;
    int port_ = 0;
};

// A listening TCP socket on 127.0.0.1 that nobody serves, to see whether anything tried to connect.
class IdleListener {
public:
    IdleListener() {
        fd_ = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        if (fd_ < 0 || bind(fd_, reinterpret_cast<sockaddr*>(&a), len) != 0 || listen(fd_, 4) != 0 ||
            getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len) != 0)
            throw std::runtime_error("listener failed");
        port_ = ntohs(a.sin_port);
    }
    ~IdleListener() { close(fd_); }
    int port() const { return port_; }
    bool wasContacted() const {
        pollfd p{fd_, POLLIN, 0};
        return poll(&p, 1, 0) > 0;
    }

private:
    int fd_ = -1;
    int port_ = 0;
};

// A port on 127.0.0.1 where nothing listens (bound once to find it, then released).
inline int closedPort() {
    IdleListener l;
    return l.port();
}

// A self-signed certificate for 127.0.0.1 and localhost, made in dir; returns false if openssl failed.
inline bool makeSelfSignedCertificate(const std::string& dir, std::string& cert, std::string& key) {
    cert = dir + "/cert.pem";
    key = dir + "/key.pem";
    const std::string cmd = "openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 2"
                            " -subj /CN=127.0.0.1 -addext subjectAltName=IP:127.0.0.1,DNS:localhost"
                            " -keyout '" +
                            key + "' -out '" + cert + "' >/dev/null 2>&1";
    return std::system(cmd.c_str()) == 0;
}

} // namespace orva::test

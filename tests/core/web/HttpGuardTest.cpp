// The loopback guard on HTTP: a development build must not connect outside 127.0.0.0/8, whatever the
// URL, the name's address, a redirect or the proxy variables say. The requests that would leave run in
// a child process inside a fresh network namespace that holds nothing but loopback, so even a broken
// guard sends nothing out; the child reports what the client answered. The refusal must be the
// guard's own text: an unreachable network ("Network is unreachable") would mean the guard let the
// connection through.
#include "HttpPeers.h"

#include "TestSupport.h"
#include "core/app/LogFile.h"
#include "core/app/LoopbackGuard.h"
#include "core/web/HttpClient.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <net/if.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/mount.h>

#include <cerrno>
#include <cstring>
#include <functional>
#include <map>

namespace orva {
// Named, not anonymous: the suite's files are built as one unit.
namespace http_guard_test {

using namespace std::chrono_literals;

const std::string kOutside = "192.0.2.1"; // TEST-NET-1: documentation only, routed nowhere

HttpOptions guardOptions() {
    HttpOptions o;
    o.timeout = 5s;
    return o;
}

// What one request in the child came to.
struct Outcome {
    bool succeeded = false;
    std::string error;
    bool proxyContacted = false;
    std::string note; // why the case could not be tried ("" when it was)
};

bool bringLoopbackUp() {
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    ifreq ifr{};
    std::strncpy(ifr.ifr_name, "lo", IFNAMSIZ - 1);
    bool ok = ::ioctl(fd, SIOCGIFFLAGS, &ifr) == 0;
    ifr.ifr_flags |= IFF_UP;
    ok = ok && ::ioctl(fd, SIOCSIFFLAGS, &ifr) == 0;
    ::close(fd);
    return ok;
}

// Names that resolve for this process only, through a private mount namespace with an /etc/hosts of
// its own (made once per child): one outside loopback, one with both ::1 and 127.0.0.1, one with ::1
// alone. False when the system does not allow it.
bool privateHosts(const std::string& dir) {
    static const bool mounted = [&dir] {
        const std::string hosts = dir + "/hosts";
        test::writeFile(hosts, "127.0.0.1 localhost\n" + kOutside +
                                   " update.orva.test\n::1 dual.orva.test\n127.0.0.1 dual.orva.test\n"
                                   "::1 six.orva.test\n");
        return ::unshare(CLONE_NEWNS) == 0 && ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
               ::mount(hosts.c_str(), "/etc/hosts", nullptr, MS_BIND, nullptr) == 0;
    }();
    return mounted;
}

Outcome skipped(const std::string& why) {
    Outcome o;
    o.note = "skip: " + why;
    return o;
}

void put(int fd, const std::string& s) {
    const uint32_t n = static_cast<uint32_t>(s.size());
    (void)!::write(fd, &n, sizeof n);
    (void)!::write(fd, s.data(), s.size());
}

bool take(int fd, std::string& s) {
    uint32_t n = 0;
    if (::read(fd, &n, sizeof n) != static_cast<ssize_t>(sizeof n))
        return false;
    s.assign(n, '\0');
    size_t got = 0;
    while (got < n) {
        const ssize_t r = ::read(fd, s.data() + got, n - got);
        if (r <= 0)
            return false;
        got += static_cast<size_t>(r);
    }
    return true;
}

using Case = std::function<Outcome(const std::string& dir)>;

// Runs every case in one child inside a new network namespace (loopback brought up or left down) and
// returns the outcomes by name. `skip` says why the namespace could not be made.
std::map<std::string, Outcome> runIsolated(bool loopbackUp, const std::vector<std::pair<std::string, Case>>& cases,
                                           const std::string& dir, std::string& skip) {
    int p[2];
    if (::pipe2(p, O_CLOEXEC) != 0) {
        skip = "pipe failed";
        return {};
    }
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(p[0]);
        if (::unshare(CLONE_NEWNET) != 0) {
            put(p[1], std::string("unshare(CLONE_NEWNET) failed: ") + std::strerror(errno));
            ::_exit(0);
        }
        if (loopbackUp && !bringLoopbackUp()) {
            put(p[1], "cannot bring lo up in the new namespace");
            ::_exit(0);
        }
        put(p[1], "");
        for (const auto& [name, run] : cases) {
            const Outcome o = run(dir);
            put(p[1], name);
            put(p[1], std::string(o.succeeded ? "1" : "0") + (o.proxyContacted ? "1" : "0"));
            put(p[1], o.error);
            put(p[1], o.note);
        }
        ::_exit(0);
    }
    ::close(p[1]);
    std::map<std::string, Outcome> out;
    if (pid < 0 || !take(p[0], skip)) {
        skip = "the child reported nothing";
    } else if (skip.empty()) {
        std::string name;
        std::string flags;
        Outcome o;
        while (take(p[0], name) && take(p[0], flags) && take(p[0], o.error) && take(p[0], o.note)) {
            o.succeeded = flags[0] == '1';
            o.proxyContacted = flags[1] == '1';
            out[name] = o;
        }
    }
    ::close(p[0]);
    if (pid > 0)
        ::waitpid(pid, nullptr, 0);
    return out;
}

Outcome post(const std::string& url) {
    CHttpClient client(CHttpClient::kDefaultUserAgent, guardOptions());
    std::string reply;
    Outcome o;
    o.succeeded = client.Post(url, "<DeviceList/>", reply) == CHttpClient::kOk;
    o.error = client.lastError();
    return o;
}

Outcome download(const std::string& url, const std::string& dir) {
    CHttpClient client(CHttpClient::kDefaultUserAgent, guardOptions());
    Outcome o;
    o.succeeded = client.Download(url, dir + "/setup.exe");
    o.error = client.lastError();
    if (test::fileExists(dir + "/setup.exe"))
        o.note = "a file was written";
    return o;
}

class HttpGuardTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!kLoopbackOnly)
            GTEST_SKIP() << "built with -DORVA_LOOPBACK_ONLY=OFF: no guard to test";
        if (::geteuid() != 0)
            GTEST_SKIP() << "needs root to make a network namespace (unshare(CLONE_NEWNET)); run as root";
        for (const char* v : {"http_proxy", "https_proxy", "HTTP_PROXY", "HTTPS_PROXY", "ALL_PROXY", "all_proxy"})
            unsetenv(v);
    }
    test::TempProgramDir dir_{"orva-http-guard"};
};

TEST_F(HttpGuardTest, RequestsOutsideLoopbackAreRefusedByTheGuard) {
    const std::string refusal = LoopbackRefusal(kOutside);
    const std::vector<std::pair<std::string, Case>> cases = {
        {"post http", [](const std::string&) { return post("http://" + kOutside + "/report"); }},
        {"post https", [](const std::string&) { return post("https://" + kOutside + ":8443/login"); }},
        {"download", [](const std::string& dir) { return download("http://" + kOutside + "/setup.exe", dir); }},
    };
    // Without lo the kernel would refuse everything itself; with lo up only the guard stands between
    // the request and a route. Both must show the guard's refusal.
    for (const bool up : {false, true}) {
        SCOPED_TRACE(up ? "lo up" : "lo down");
        std::string skip;
        const auto outcomes = runIsolated(up, cases, dir_.path(), skip);
        if (!skip.empty())
            GTEST_SKIP() << skip;
        ASSERT_EQ(outcomes.size(), cases.size());
        for (const auto& [name, o] : outcomes) {
            SCOPED_TRACE(name);
            EXPECT_FALSE(o.succeeded);
            EXPECT_EQ(o.error, refusal);
            EXPECT_EQ(o.note, "");
        }
    }
}

TEST_F(HttpGuardTest, NamesRedirectsAndProxiesDoNotGetPastTheGuard) {
    const std::string refusal = LoopbackRefusal(kOutside);
    const std::vector<std::pair<std::string, Case>> cases = {
        // A name is never looked up: its query could go to a resolver off loopback. The private hosts
        // file makes these names resolve, so a lookup that slipped through would be judged by its
        // address instead and give another text.
        {"name resolving outside",
         [](const std::string& dir) {
             return privateHosts(dir) ? post("http://update.orva.test/login") : skipped("no private /etc/hosts");
         }},
        {"name resolving to ::1 only",
         [](const std::string& dir) {
             return privateHosts(dir) ? post("http://six.orva.test/login") : skipped("no private /etc/hosts");
         }},
        {"name resolving to loopback",
         [](const std::string& dir) {
             if (!privateHosts(dir))
                 return skipped("no private /etc/hosts");
             test::TestHttpServer server;
             CHttpClient client(CHttpClient::kDefaultUserAgent, guardOptions());
             std::string reply;
             Outcome o;
             o.succeeded = client.Post(server.url("/echo", "dual.orva.test"), "hello", reply) == CHttpClient::kOk;
             o.error = client.lastError();
             return o;
         }},
        // A redirect to a name is refused before its lookup too.
        {"redirect to a name",
         [](const std::string& dir) {
             test::TestHttpServer server;
             return download(server.url("/redirect?to=http://update.orva.test/setup.exe"), dir);
         }},
        // A loopback server that sends the download elsewhere: the second hop is refused.
        {"redirect outside",
         [](const std::string& dir) {
             test::TestHttpServer server;
             return download(server.url("/redirect?to=http://" + kOutside + "/setup.exe"), dir);
         }},
        // A proxy on loopback would carry the request anywhere; this build connects directly, so the
        // proxy is never asked and the destination itself is refused.
        {"proxy variables",
         [](const std::string&) {
             test::IdleListener proxy;
             const std::string at = "http://127.0.0.1:" + std::to_string(proxy.port());
             for (const char* v : {"http_proxy", "https_proxy", "HTTPS_PROXY", "ALL_PROXY", "all_proxy"})
                 setenv(v, at.c_str(), 1);
             Outcome o = post("http://" + kOutside + "/report");
             const Outcome tls = post("https://" + kOutside + "/report");
             if (tls.error != o.error)
                 o.error += " / https: " + tls.error;
             o.proxyContacted = proxy.wasContacted();
             for (const char* v : {"http_proxy", "https_proxy", "HTTPS_PROXY", "ALL_PROXY", "all_proxy"})
                 unsetenv(v);
             return o;
         }},
        // localhost is a name for loopback: it still works (its ::1 address, if any, is refused and
        // libcurl goes on to 127.0.0.1).
        {"localhost works",
         [](const std::string&) {
             test::TestHttpServer server;
             CHttpClient client(CHttpClient::kDefaultUserAgent, guardOptions());
             std::string reply;
             Outcome o;
             o.succeeded =
                 client.Post(server.url("/echo", "localhost"), "hello", reply) == CHttpClient::kOk && reply == "hello";
             o.error = client.lastError();
             return o;
         }},
    };
    std::string skip;
    const auto outcomes = runIsolated(true, cases, dir_.path(), skip);
    if (!skip.empty())
        GTEST_SKIP() << skip;
    ASSERT_EQ(outcomes.size(), cases.size());
    for (const auto& [name, o] : outcomes) {
        SCOPED_TRACE(name);
        if (o.note.rfind("skip:", 0) == 0) {
            std::cout << "[ SKIPPED  ] case " << name << ": " << o.note << "\n";
            continue;
        }
        EXPECT_EQ(o.note, "");
        EXPECT_FALSE(o.proxyContacted);
        if (name.ends_with("works")) {
            EXPECT_TRUE(o.succeeded) << o.error;
            EXPECT_EQ(o.error, "");
        } else {
            EXPECT_FALSE(o.succeeded);
            const std::map<std::string, std::string> byName = {
                {"name resolving outside", LoopbackRefusal("update.orva.test")},
                {"name resolving to ::1 only", LoopbackRefusal("six.orva.test")},
                {"name resolving to loopback", LoopbackRefusal("dual.orva.test")},
                {"redirect to a name", LoopbackRefusal("update.orva.test")},
            };
            const auto named = byName.find(name);
            EXPECT_EQ(o.error, named != byName.end() ? named->second : refusal);
        }
    }
}

TEST_F(HttpGuardTest, RefusalIsWrittenToTheLog) {
    const std::string log = dir_.file("orva.log");
    const std::vector<std::pair<std::string, Case>> cases = {
        {"post",
         [log](const std::string&) {
             Outcome o;
             if (!LogFile::instance().open(log)) {
                 o.note = "log not opened";
                 return o;
             }
             return post("http://" + kOutside + "/report");
         }},
    };
    std::string skip;
    const auto outcomes = runIsolated(false, cases, dir_.path(), skip);
    if (!skip.empty())
        GTEST_SKIP() << skip;
    ASSERT_EQ(outcomes.size(), 1u);
    EXPECT_EQ(outcomes.begin()->second.note, "");
    std::string refusal = LoopbackRefusal(kOutside);
    refusal.pop_back(); // the log line ends with the file's own line end
    const std::string text = test::readFile(log);
    EXPECT_NE(text.find("[HTTP]("), std::string::npos) << text;
    EXPECT_NE(text.find(refusal), std::string::npos) << text;
}

} // namespace http_guard_test
} // namespace orva

#include "HttpPeers.h"

#include "TestSupport.h"
#include "core/app/LogFile.h"
#include "core/web/HttpClient.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/statvfs.h>

#include <filesystem>
#include <memory>
#include <stop_token>
#include <thread>

namespace orva {
namespace {

using namespace std::chrono_literals;
using test::serverPattern;

HttpOptions quickOptions() {
    HttpOptions o;
    o.timeout = 5s;
    return o;
}

class HttpClientTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        unsetenv("http_proxy");
        unsetenv("https_proxy");
        unsetenv("HTTP_PROXY");
        unsetenv("HTTPS_PROXY");
        unsetenv("ALL_PROXY");
        unsetenv("all_proxy");
        server_ = std::make_unique<test::TestHttpServer>();
    }
    static void TearDownTestSuite() { server_.reset(); }
    static std::unique_ptr<test::TestHttpServer> server_;
};
std::unique_ptr<test::TestHttpServer> HttpClientTest::server_;

struct ReplyCase {
    const char* name;
    std::string path;
    std::string body;
    std::string expected;
};

TEST_F(HttpClientTest, PostReturnsTheReplyBody) {
    const std::string chinese = "诊断结果：通过，用户名张三";
    const std::vector<ReplyCase> cases = {
        // 3,000 bytes: several full reads and a shorter last one.
        {"long reply", "/big?n=3000", "", serverPattern(3000)},
        {"NUL ends the reply", "/nul", "", "before"},
        {"error status keeps its body", "/status?code=500", "", "status 500"},
        {"Chinese body arrives as UTF-8", "/echo", chinese, chinese},
        // Still below the 64 KiB the echo may come back with.
        {"body far above 20 KB is sent whole", "/echo", serverPattern(60000), serverPattern(60000)},
        {"empty reply body", "/echo", "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CHttpClient client(CHttpClient::kDefaultUserAgent, quickOptions());
        std::string reply = "stale";
        EXPECT_EQ(client.Post(server_->url(c.path), c.body, reply), CHttpClient::kOk);
        EXPECT_EQ(reply, c.expected);
    }
    // Each Chinese character of the echo travelled as three bytes.
    EXPECT_EQ(chinese.size(), 13u * 3u);
}

TEST_F(HttpClientTest, MalformedUtf8InTheReplyIsReplaced) {
    CHttpClient client(CHttpClient::kDefaultUserAgent, quickOptions());
    std::string reply;
    EXPECT_EQ(client.Post(server_->url("/echo"), std::string("ok\xFF\xC3"), reply), CHttpClient::kOk);
    EXPECT_EQ(reply, "ok\xEF\xBF\xBD\xEF\xBF\xBD");
}

TEST_F(HttpClientTest, RequestCarriesTheFixedHeaderLinesAndNoContentType) {
    CHttpClient client(CHttpClient::kDefaultUserAgent, quickOptions());
    std::string reply;
    ASSERT_EQ(client.Post(server_->url("/headers"), serverPattern(5000), reply), CHttpClient::kOk);
    EXPECT_NE(reply.find("Accept: text/*"), std::string::npos) << reply;
    EXPECT_NE(reply.find(std::string("User-Agent: ") + CHttpClient::kDefaultUserAgent), std::string::npos) << reply;
    EXPECT_NE(reply.find("Content-Length: 5000"), std::string::npos) << reply;
    EXPECT_EQ(reply.find("Content-Type"), std::string::npos) << reply;
    EXPECT_EQ(reply.find("Expect"), std::string::npos) << reply;

    CHttpClient anonymous("", quickOptions());
    ASSERT_EQ(anonymous.Post(server_->url("/headers"), "x", reply), CHttpClient::kOk);
    EXPECT_NE(reply.find("User-Agent: Client"), std::string::npos) << reply;
}

TEST_F(HttpClientTest, OtherVerbsReachTheServer) {
    CHttpClient client(CHttpClient::kDefaultUserAgent, quickOptions());
    std::string reply;
    EXPECT_EQ(client.Request("PUT", server_->url("/echo"), "put body", reply), CHttpClient::kOk);
    EXPECT_EQ(reply, "put body");
    EXPECT_EQ(client.Request("GET", server_->url("/big?n=10"), "", reply), CHttpClient::kOk);
    EXPECT_EQ(reply, serverPattern(10));
}

TEST_F(HttpClientTest, UrlsThatAreNotHttpFailWithoutContact) {
    test::IdleListener listener;
    const std::string port = std::to_string(listener.port());
    const std::vector<std::string> urls = {
        "ftp://127.0.0.1:" + port + "/report",
        "file:///etc/hostname",
        "gopher://127.0.0.1:" + port + "/",
        "127.0.0.1:" + port + "/no-scheme",
        "",
        " http://127.0.0.1:" + port + "/leading-blank",
        "http://orva-update.invalid:" + port + "/name-that-cannot-exist",
    };
    for (const auto& url : urls) {
        SCOPED_TRACE(url);
        CHttpClient client(CHttpClient::kDefaultUserAgent, quickOptions());
        std::string reply = "stale";
        EXPECT_EQ(client.Post(url, "body", reply), CHttpClient::kFailed);
        EXPECT_EQ(reply, "");
        EXPECT_FALSE(client.Download(url, "/tmp/orva-http-never-written"));
    }
    EXPECT_FALSE(listener.wasContacted());
    EXPECT_FALSE(test::fileExists("/tmp/orva-http-never-written"));
}

TEST_F(HttpClientTest, RefusedConnectionIsAFailure) {
    CHttpClient client(CHttpClient::kDefaultUserAgent, quickOptions());
    std::string reply = "stale";
    EXPECT_EQ(client.Post("http://127.0.0.1:" + std::to_string(test::closedPort()) + "/x", "b", reply),
              CHttpClient::kFailed);
    EXPECT_EQ(reply, "");
}

TEST_F(HttpClientTest, SilentServerTimesOutWithEmptyReply) {
    HttpOptions o;
    o.timeout = 1s;
    CHttpClient client(CHttpClient::kDefaultUserAgent, o);
    std::string reply = "stale";
    EXPECT_EQ(client.Post(server_->url("/hang"), "anyone there?", reply), CHttpClient::kTimedOut);
    EXPECT_EQ(reply, "");
}

// Closing the program must not wait out the time-out of a request that is still out. The time-out is
// long enough that waiting it out would show as a hang; the stop comes from another thread.
struct StopCase {
    const char* name;
    bool stopFirst; // asked to stop before the request starts: nothing is contacted
    bool listener;  // a listener that takes the connection and never reads, else the fixture's /hang
};

TEST_F(HttpClientTest, StopRequestEndsTheRequestWithAnEmptyReply) {
    const std::vector<StopCase> cases = {
        {"stop before the request", true, true},
        {"stop while the connection waits for an answer", false, true},
        {"stop while the fixture server sits on the request", false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::IdleListener listener;
        const std::string url =
            c.listener ? "http://127.0.0.1:" + std::to_string(listener.port()) + "/report" : server_->url("/hang");
        HttpOptions o;
        o.timeout = 60s;
        CHttpClient client(CHttpClient::kDefaultUserAgent, o);
        std::stop_source stop;
        if (c.stopFirst)
            stop.request_stop();
        std::jthread stopper([&] {
            if (c.stopFirst)
                return;
            if (c.listener) {
                // The connection is there (and the request in its buffer) before the stop comes.
                while (!listener.wasContacted())
                    std::this_thread::sleep_for(5ms);
            } else {
                std::this_thread::sleep_for(300ms); // the fixture gives no sign of having the request
            }
            stop.request_stop();
        });
        std::string reply = "stale";
        EXPECT_EQ(client.Post(url, "anyone there?", reply, stop.get_token()), CHttpClient::kFailed);
        EXPECT_EQ(reply, "");
        if (c.stopFirst) {
            EXPECT_FALSE(listener.wasContacted());
        }
    }
}

// Downloads into a fresh directory, optionally over an existing file.
class HttpDownloadTest : public HttpClientTest {
protected:
    void SetUp() override { target_ = dir_.file("setup.exe"); }
    // Every name in the directory; a failed download must not leave partial files behind.
    std::vector<std::string> entries() const {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(dir_.path()))
            names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    test::TempProgramDir dir_{"orva-dl"};
    std::string target_;
};

struct DownloadCase {
    const char* name;
    std::string path;
    bool existing;
    bool ok;
};

TEST_F(HttpDownloadTest, FileIsWrittenOnlyWhenTheWholeBodyCame) {
    const std::string old = "previous installer";
    const std::vector<DownloadCase> cases = {
        {"new file", "/file?n=5000", false, true},
        {"replaces an existing file", "/file?n=70000", true, true},
        {"no Content-Length", "/nolength?n=3000", false, false},
        {"no Content-Length over an existing file", "/nolength?n=3000", true, false},
        {"body shorter than announced", "/short?n=4000", true, false},
        {"status 404", "/status?code=404", true, false},
        {"status 500", "/status?code=500", false, false},
        {"empty body", "/empty", true, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove(target_);
        if (c.existing)
            test::writeFile(target_, old);
        CHttpClient client(CHttpClient::kDefaultUserAgent, quickOptions());
        const std::string url = server_->url(c.path);
        EXPECT_EQ(client.Download(url, target_), c.ok);
        if (c.ok) {
            const size_t n = std::stoul(c.path.substr(c.path.find("n=") + 2));
            EXPECT_EQ(test::readFile(target_), serverPattern(n));
        } else if (c.existing) {
            EXPECT_EQ(test::readFile(target_), old);
        } else {
            EXPECT_FALSE(test::fileExists(target_));
        }
        const std::vector<std::string> expected =
            (c.ok || c.existing) ? std::vector<std::string>{"res", "setup.exe"} : std::vector<std::string>{"res"};
        EXPECT_EQ(entries(), expected);
    }
}

TEST_F(HttpDownloadTest, StalledServerOrMissingFolderFails) {
    test::writeFile(target_, "kept");
    CHttpClient client(CHttpClient::kDefaultUserAgent, quickOptions());
    EXPECT_FALSE(client.Download(server_->url("/hang"), target_));
    EXPECT_EQ(test::readFile(target_), "kept");
    EXPECT_FALSE(client.Download(server_->url("/file?n=10"), dir_.file("no-such-folder/setup.exe")));
    EXPECT_EQ(entries(), (std::vector<std::string>{"res", "setup.exe"}));
}

// The installer's size is bounded twice: by the options' limit (2 GiB unless a test injects a smaller
// one, so nothing here writes gigabytes) and by the free space of the target's file system less the
// spare room. A refused download leaves nothing behind, as any failed one.
struct CapCase {
    const char* name;
    std::string path;
    uint64_t limit;
    uint64_t spare; // the room to leave free
    bool ok;
    std::string reason; // part of lastError() for a refusal: the cap, not a short body, refused it
};

uint64_t freeBytes(const std::string& dir) {
    struct statvfs fs {};
    return ::statvfs(dir.c_str(), &fs) == 0 ? static_cast<uint64_t>(fs.f_bavail) * fs.f_frsize : 0;
}

TEST_F(HttpDownloadTest, SizeIsCappedByTheLimitAndTheFreeSpace) {
    constexpr uint64_t kCap = 256 * 1024;
    const uint64_t free = freeBytes(dir_.path());
    ASSERT_GT(free, 2u * 1024 * 1024) << "the test needs a few megabytes free in " << dir_.path();
    const std::vector<CapCase> cases = {
        {"announced beyond 2 GiB", "/stream?len=3000000000&n=200000", kDownloadLimit, kDownloadSpareBytes, false,
         "larger than 2147483648 bytes"},
        {"streamed beyond an injected cap", "/stream?len=1048576", kCap, kDownloadSpareBytes, false,
         "larger than 262144 bytes"},
        {"exactly the cap", "/stream?len=262144", kCap, kDownloadSpareBytes, true, ""},
        {"beyond the free space less the spare room", "/stream?len=67108864&n=200000", kDownloadLimit,
         free - 1024 * 1024, false, "bytes (its limit, or the free space)"},
        {"no room at all", "/file?n=5000", kDownloadLimit, UINT64_MAX / 2, false, "no room"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove(target_);
        HttpOptions o = quickOptions();
        o.downloadLimit = c.limit;
        o.downloadSpareBytes = c.spare;
        CHttpClient client(CHttpClient::kDefaultUserAgent, o);
        EXPECT_EQ(client.Download(server_->url(c.path), target_), c.ok) << client.lastError();
        if (c.ok) {
            EXPECT_EQ(test::readFile(target_), serverPattern(kCap));
            EXPECT_EQ(client.lastError(), "");
        } else {
            EXPECT_NE(client.lastError().find(c.reason), std::string::npos) << client.lastError();
        }
        EXPECT_EQ(entries(), (c.ok ? std::vector<std::string>{"res", "setup.exe"} : std::vector<std::string>{"res"}));
    }
}

TEST_F(HttpDownloadTest, PlainRedirectIsFollowed) {
    CHttpClient client(CHttpClient::kDefaultUserAgent, quickOptions());
    EXPECT_TRUE(client.Download(server_->url("/redirect?to=/file?n=3000"), target_)) << client.lastError();
    EXPECT_EQ(test::readFile(target_), serverPattern(3000));
}

// A server with a certificate no public authority signed, on a port other than 443.
class HttpsTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        certDir_ = std::make_unique<test::TempProgramDir>("orva-tls");
        ASSERT_TRUE(test::makeSelfSignedCertificate(certDir_->path(), cert_, key_));
        server_ =
            std::make_unique<test::TestHttpServer>(test::TestHttpServer::Options{.cert = cert_, .key = key_});
    }
    static void TearDownTestSuite() {
        server_.reset();
        certDir_.reset();
    }
    static std::unique_ptr<test::TempProgramDir> certDir_;
    static std::unique_ptr<test::TestHttpServer> server_;
    static std::string cert_;
    static std::string key_;
};
std::unique_ptr<test::TempProgramDir> HttpsTest::certDir_;
std::unique_ptr<test::TestHttpServer> HttpsTest::server_;
std::string HttpsTest::cert_;
std::string HttpsTest::key_;

struct TlsCase {
    const char* name;
    bool verify;
    bool withCaFile;
    std::string host;
    bool accepted;
};

TEST_F(HttpsTest, CertificateIsCheckedUnlessTurnedOff) {
    ASSERT_NE(server_->port(), 443);
    const std::vector<TlsCase> cases = {
        {"unknown authority refused", true, false, "127.0.0.1", false},
        {"unknown authority refused by name", true, false, "localhost", false},
        {"private CA accepted", true, true, "127.0.0.1", true},
        {"private CA accepted by name", true, true, "localhost", true},
        {"checking off", false, false, "127.0.0.1", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        HttpOptions o = quickOptions();
        o.tlsVerify = c.verify;
        if (c.withCaFile)
            o.caFile = cert_;
        CHttpClient client(CHttpClient::kDefaultUserAgent, o);
        std::string reply = "stale";
        const int result = client.Post(server_->url("/echo", c.host), "<SoftWareLogin/>", reply);
        EXPECT_EQ(result, c.accepted ? CHttpClient::kOk : CHttpClient::kFailed);
        EXPECT_EQ(reply, c.accepted ? "<SoftWareLogin/>" : "");

        const std::string target = certDir_->file("dl.bin");
        std::filesystem::remove(target);
        EXPECT_EQ(client.Download(server_->url("/file?n=3000", c.host), target), c.accepted);
        EXPECT_EQ(test::fileExists(target), c.accepted);
    }
}

// CaFile is opened without waiting (a FIFO has no writer), judged on the opened descriptor and read
// only when it is a regular file under 1 MiB. Anything else adds nothing, so the private server then
// fails verification like any unknown server, and orva.log says why.
struct CaFileCase {
    const char* name;
    std::string path;
    std::string logged; // "" when the file is taken
};

TEST_F(HttpsTest, CaFileMustBeASmallRegularFile) {
    const std::string fifo = certDir_->file("ca.fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    // The real certificate at its head: only the size keeps it from being trusted.
    const std::string large = certDir_->file("large.pem");
    test::writeFile(large, test::readFile(cert_) + std::string(2 * 1024 * 1024, '#') + "\n");
    const std::string log = certDir_->file("orva.log");
    ASSERT_TRUE(LogFile::instance().open(log));
    const std::vector<CaFileCase> cases = {
        {"/dev/zero", "/dev/zero", "is not a regular file"},
        {"FIFO", fifo, "is not a regular file"},
        {"directory", certDir_->path(), "is not a regular file"},
        {"2 MiB file", large, "is 1 MiB or larger"},
        {"good PEM", cert_, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        HttpOptions o = quickOptions();
        o.caFile = c.path;
        CHttpClient client(CHttpClient::kDefaultUserAgent, o);
        std::string reply = "stale";
        const bool taken = c.logged.empty();
        EXPECT_EQ(client.Post(server_->url("/echo"), "x", reply), taken ? CHttpClient::kOk : CHttpClient::kFailed);
        EXPECT_EQ(reply, taken ? "x" : "");
        if (!taken) {
            // libcurl's verification failure, with the reason the CA file added nothing.
            EXPECT_NE(client.lastError().find("SSL certificate problem"), std::string::npos) << client.lastError();
            EXPECT_NE(client.lastError().find("(CaFile " + c.path + " " + c.logged), std::string::npos)
                << client.lastError();
            EXPECT_NE(test::readFile(log).find("CaFile " + c.path + " " + c.logged), std::string::npos);
        }
    }
}

TEST_F(HttpsTest, CaFileIsReadOncePerClient) {
    const std::string ca = certDir_->file("once.pem");
    test::writeFile(ca, test::readFile(cert_));
    HttpOptions o = quickOptions();
    o.caFile = ca;
    CHttpClient client(CHttpClient::kDefaultUserAgent, o);
    std::string reply;
    ASSERT_EQ(client.Post(server_->url("/echo"), "first", reply), CHttpClient::kOk);
    // Gone after the first request: the client keeps what it read, a new client has nothing.
    std::filesystem::remove(ca);
    EXPECT_EQ(client.Post(server_->url("/echo"), "second", reply), CHttpClient::kOk);
    EXPECT_EQ(reply, "second");
    const std::string target = certDir_->file("once.bin");
    EXPECT_TRUE(client.Download(server_->url("/file?n=100"), target));
    CHttpClient fresh(CHttpClient::kDefaultUserAgent, o);
    EXPECT_EQ(fresh.Post(server_->url("/echo"), "third", reply), CHttpClient::kFailed);
}

// A download that starts on https stays on https: a redirect to http is refused before anything is
// asked of the http address. A redirect to https is followed.
TEST_F(HttpsTest, DownloadRedirectNeverLeavesHttps) {
    test::IdleListener plain;
    HttpOptions o = quickOptions();
    o.caFile = cert_;
    const std::string target = certDir_->file("redirected.bin");
    std::filesystem::remove(target);
    CHttpClient client(CHttpClient::kDefaultUserAgent, o);
    const std::string toHttp = "http://127.0.0.1:" + std::to_string(plain.port()) + "/file?n=3000";
    EXPECT_FALSE(client.Download(server_->url("/redirect?to=" + toHttp), target));
    EXPECT_NE(client.lastError(), "");
    EXPECT_FALSE(plain.wasContacted());
    EXPECT_FALSE(test::fileExists(target));

    EXPECT_TRUE(client.Download(server_->url("/redirect?to=" + server_->url("/file?n=3000")), target))
        << client.lastError();
    EXPECT_EQ(test::readFile(target), serverPattern(3000));
}

TEST_F(HttpsTest, UnreadableCaFileAddsNothing) {
    HttpOptions o = quickOptions();
    o.caFile = certDir_->file("missing.pem");
    CHttpClient client(CHttpClient::kDefaultUserAgent, o);
    std::string reply = "stale";
    EXPECT_EQ(client.Post(server_->url("/echo"), "x", reply), CHttpClient::kFailed);
    EXPECT_EQ(reply, "");
}

} // namespace
} // namespace orva

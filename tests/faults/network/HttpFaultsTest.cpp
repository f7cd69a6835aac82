// The services misbehave: they accept and never answer, close in the middle of a body, send 50 MB,
// or answer very slowly. Every request still returns within the HTTP time-out (plus generous slack
// for a loaded machine), the login falls back to the offline list, reports and stored rows are kept
// for the next pass, and a huge body costs no more memory than the client's reply limit.
#include "HttpPeers.h"

#include "core/app/AppSettings.h"
#include "core/app/LogFile.h"
#include "core/app/ProgramDirectory.h"
#include "core/records/RecordStore.h"
#include "core/records/Upload.h"
#include "core/web/HttpClient.h"
#include "core/web/LoginFile.h"
#include "core/web/LoginService.h"

#include "TestSubnets.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <functional>

namespace orva::test {
namespace {

constexpr int kHttpSubnet =
    orva::test::subnets::faults_http::kHttpFaults; // only for the settings file: every request here goes to 127.0.0.1
constexpr int kTimeoutSeconds = 2;
// How much later than the time-out a call may return on a busy machine: generous on purpose, it
// only has to show that the wait is bounded.
constexpr auto kSlack = std::chrono::seconds(20);

using Clock = std::chrono::steady_clock;

const std::string kLoginOk = "<SoftWareLogin><LoginResult>success</LoginResult></SoftWareLogin>";
const std::string kReportOk = "<Response><Code>0</Code></Response>";

// Peak resident memory of this process in kB since the last reset.
long PeakResidentKb() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0)
            return std::stol(line.substr(6));
    return -1;
}

bool ResetPeakResident() {
    std::ofstream clear("/proc/self/clear_refs");
    clear << "5";
    return static_cast<bool>(clear.flush());
}

template <class F> Clock::duration Timed(F&& f) {
    const auto start = Clock::now();
    f();
    return Clock::now() - start;
}

class HttpFaultsTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir.writeSettings(kHttpSubnet, {{"RunNet", "1"}, {"HttpTimeout", std::to_string(kTimeoutSeconds)}});
        SetProgramDirectory(dir.path());
        AppSettings settings;
        ASSERT_TRUE(LoadAppSettings(SettingsFilePath(), settings));
        SetSettings(settings);
        ASSERT_TRUE(LogFile::instance().open(dir.file("orva.log")));
    }

    static HttpOptions options(int seconds = kTimeoutSeconds) {
        HttpOptions o;
        o.timeout = std::chrono::seconds(seconds);
        return o;
    }

    static DiagRecord record(const std::string& sn) {
        DiagRecord r;
        r.Operator = "tech01";
        r.sn = sn;
        r.DeviceType = "KT540G";
        r.FE1Check = CheckPassed;
        return r;
    }

    int uploadRows() {
        RecordStore store(dir.file("orvalog.db"));
        if (!store.open("uploads"))
            return -1;
        const int n = static_cast<int>(store.readUploads().rows.size());
        store.close();
        return n;
    }

    TempProgramDir dir{"orva-faults-http"};
    RecordingNotifier notifier;
};

struct ClientCase {
    ServerFault fault;
    int timeoutSeconds;
    int result;
    bool answered; // the reply is the server's whole answer
};

TEST_F(HttpFaultsTest, EveryPostReturnsWithinItsTimeOut) {
    const std::vector<ClientCase> cases = {
        {ServerFault::Hang, kTimeoutSeconds, CHttpClient::kTimedOut, false},
        {ServerFault::CloseMidBody, kTimeoutSeconds, CHttpClient::kFailed, false},
        {ServerFault::HugeWithLength, kTimeoutSeconds, CHttpClient::kFailed, false},
        {ServerFault::HugeWithoutLength, kTimeoutSeconds, CHttpClient::kFailed, false},
        {ServerFault::SlowBeyondLimit, kTimeoutSeconds, CHttpClient::kTimedOut, false},
        {ServerFault::SlowWithinLimit, 30, CHttpClient::kOk, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(FaultName(c.fault));
        BadHttpServer server(c.fault, kReportOk);
        CHttpClient client(CHttpClient::kDefaultUserAgent, options(c.timeoutSeconds));
        std::string reply = "stale";
        int result = -1;
        const auto took = Timed([&] { result = client.Post(server.url("/report"), "<DeviceList/>", reply); });
        EXPECT_EQ(result, c.result);
        EXPECT_EQ(reply, c.answered ? kReportOk : "");
        EXPECT_EQ(server.requests(), 1);
        EXPECT_LT(took, std::chrono::seconds(c.timeoutSeconds) + kSlack);
    }
}

#if defined(__SANITIZE_ADDRESS__)
constexpr long kGrowthFactor = 8;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr long kGrowthFactor = 8; // freed buffers wait in the sanitizer's quarantine
#else
constexpr long kGrowthFactor = 3;
#endif
#else
constexpr long kGrowthFactor = 3;
#endif

// Peak growth of resident memory, in kB, while one Post to a fresh server of that fault runs.
long PostGrowthKb(ServerFault fault, const std::string& answer, int expectedResult) {
    BadHttpServer server(fault, answer);
    HttpOptions o;
    o.timeout = std::chrono::seconds(30);
    CHttpClient client(CHttpClient::kDefaultUserAgent, o);
    if (!ResetPeakResident())
        return -1;
    const long before = PeakResidentKb();
    std::string reply;
    EXPECT_EQ(client.Post(server.url("/report"), "<DeviceList/>", reply), expectedResult);
    const long grownKb = PeakResidentKb() - before;
    EXPECT_EQ(reply, expectedResult == CHttpClient::kOk ? answer : "");
    return grownKb;
}

TEST_F(HttpFaultsTest, HugeBodyCostsNoMoreThanTheReplyLimit) {
    // The limit itself is far below the 50 MB; what the process may grow by is the limit with room for
    // the string's growth (and, under AddressSanitizer, for the freed buffers it holds back), still well
    // short of the body.
    static_assert(CHttpClient::kMaxReplyBytes * kGrowthFactor < BadHttpServer::kHugeBytes);
    // With the limit at 64 KiB, what any request costs (libcurl's and OpenSSL's one-time set-up in the
    // process's first transfer, the server's connection thread, the sanitizer's stacks for it, the
    // reply string growing to the limit) is no longer small beside it, so each huge body is measured
    // against an accepted reply just under the limit, fetched the same way.
    const std::string longest = kReportOk + std::string(CHttpClient::kMaxReplyBytes - kReportOk.size() - 1, '-');
    ASSERT_GE(PostGrowthKb(ServerFault::None, longest, CHttpClient::kOk), 0); // the one-time set-up
    for (const auto fault : {ServerFault::HugeWithLength, ServerFault::HugeWithoutLength}) {
        SCOPED_TRACE(FaultName(fault));
        const long normalKb = PostGrowthKb(ServerFault::None, longest, CHttpClient::kOk);
        const long grownKb = PostGrowthKb(fault, kReportOk, CHttpClient::kFailed);
        ASSERT_GE(normalKb, 0);
        EXPECT_LT(grownKb - normalKb, static_cast<long>(CHttpClient::kMaxReplyBytes) * kGrowthFactor / 1024)
            << "reply at the limit " << normalKb << " kB, huge body " << grownKb << " kB";
    }
}

TEST_F(HttpFaultsTest, LongReplyUnderTheLimitStillComesBackWhole) {
    // The limit must not bite a long but reasonable answer.
    const std::string big = kReportOk + std::string(CHttpClient::kMaxReplyBytes - kReportOk.size() - 1, '-');
    BadHttpServer server(ServerFault::None, big);
    CHttpClient client(CHttpClient::kDefaultUserAgent, options(30));
    std::string reply;
    EXPECT_EQ(client.Post(server.url(), "x", reply), CHttpClient::kOk);
    EXPECT_EQ(reply, big);
}

// A reply of `total` bytes: `head` (a valid answer), then N x "<a>" and M x "</b>", the shape that
// costs a parser without bounds quadratic time.
std::string HostileReply(const std::string& head, size_t total) {
    std::string s = head;
    s.reserve(total);
    const size_t openUntil = head.size() + (total - head.size()) / 2;
    while (s.size() + 3 <= openUntil)
        s += "<a>";
    while (s.size() + 4 <= total)
        s += "</b>";
    s.resize(total, ' ');
    return s;
}

std::string Padded(const std::string& head, size_t total) {
    return head + std::string(total - head.size(), ' ');
}

// Login and report replies are capped at 64 KiB: a longer one is a failed request, handled at once as
// a missing answer (the login falls back to the offline list, the report is not accepted) instead of
// being parsed. A reply of exactly the cap is still read. The outcomes tell them apart: each reply
// begins with a valid answer, so reading any of them whole would succeed.
struct CapCase {
    const char* name;
    size_t bytes;
    bool hostile;
    bool read; // the reply is taken as the service's answer
};

const std::vector<CapCase> kCapCases = {
    {"hostile 4 MiB", 4u * 1024 * 1024, true, false},
    {"one byte over the cap", kServiceReplyLimit + 1, false, false},
    {"exactly the cap", kServiceReplyLimit, false, true},
};

TEST_F(HttpFaultsTest, LoginReplyOverTheCapGoesOffline) {
    ASSERT_TRUE(RememberCredentials(dir.file("res/login.xml"), "tech01", "pw"));
    for (const auto& c : kCapCases) {
        SCOPED_TRACE(c.name);
        const std::string body = c.hostile ? HostileReply(kLoginOk, c.bytes) : Padded(kLoginOk, c.bytes);
        ASSERT_EQ(body.size(), c.bytes);
        BadHttpServer server(ServerFault::None, body);
        LoginInput in;
        in.loginUrl = server.url("/login");
        in.version = "99";
        in.userName = "tech01";
        in.password = "pw";
        in.programDir = dir.path();
        const LoginResult result = LoginService(in).Login();
        EXPECT_EQ(result.outcome, c.read ? LoginOutcome::OnlineOk : LoginOutcome::OfflineOk);
        EXPECT_EQ(result.reply.size(), c.read ? c.bytes : 0u);
        EXPECT_EQ(server.requests(), 1);
    }
}

TEST_F(HttpFaultsTest, ReportReplyOverTheCapIsNotAccepted) {
    for (const auto& c : kCapCases) {
        SCOPED_TRACE(c.name);
        const std::string body = c.hostile ? HostileReply(kReportOk, c.bytes) : Padded(kReportOk, c.bytes);
        BadHttpServer server(ServerFault::None, body);
        UploadConfig config = UploadConfig::FromSettings();
        config.reportUrl = server.url("/report");
        RecordStore store(dir.file("orvalog.db"));
        const int before = std::max(uploadRows(), 0);
        EXPECT_EQ(reportNewest({record("SN-CAP")}, store, config),
                  c.read ? ReportOutcome::Accepted : ReportOutcome::KeptForUpload);
        EXPECT_EQ(uploadRows(), before + (c.read ? 0 : 1));

        // The upload pass judges the same reply the same way: the row stays unless it was read.
        UploadPassResult pass = uploadStoredRecords(store, config);
        EXPECT_EQ(pass.accepted, c.read ? pass.rows : 0);
        EXPECT_EQ(uploadRows(), c.read ? 0 : pass.rows);
    }
}

struct LoginCase {
    ServerFault fault;
    LoginOutcome outcome;
};

TEST_F(HttpFaultsTest, LoginFallsBackOfflineWithinTheHttpTimeout) {
    const std::vector<LoginCase> cases = {
        {ServerFault::Hang, LoginOutcome::OfflineOk},
        {ServerFault::CloseMidBody, LoginOutcome::OfflineOk},
        {ServerFault::HugeWithLength, LoginOutcome::OfflineOk},
        {ServerFault::HugeWithoutLength, LoginOutcome::OfflineOk},
        {ServerFault::SlowBeyondLimit, LoginOutcome::OfflineOk},
        {ServerFault::SlowWithinLimit, LoginOutcome::OnlineOk},
    };
    ASSERT_TRUE(RememberCredentials(dir.file("res/login.xml"), "tech01", "pw"));
    for (const auto& c : cases) {
        SCOPED_TRACE(FaultName(c.fault));
        BadHttpServer server(c.fault, kLoginOk);
        LoginInput in;
        in.loginUrl = server.url("/login");
        in.version = "99";
        in.userName = "tech01";
        in.password = "pw";
        in.programDir = dir.path();
        in.runNet = 1; // the time-out comes from HttpTimeout in setting.ini
        LoginResult result;
        const auto took = Timed([&] { result = LoginService(in).Login(); });
        EXPECT_EQ(result.outcome, c.outcome);
        EXPECT_TRUE(result.loggedIn());
        EXPECT_LT(took, std::chrono::seconds(kTimeoutSeconds) + kSlack);
    }
}

TEST_F(HttpFaultsTest, WrongPasswordOfflineIsStillRefusedWhenTheServiceHangs) {
    ASSERT_TRUE(RememberCredentials(dir.file("res/login.xml"), "tech01", "pw"));
    BadHttpServer server(ServerFault::Hang, kLoginOk);
    LoginInput in;
    in.loginUrl = server.url("/login");
    in.userName = "tech01";
    in.password = "guess";
    in.programDir = dir.path();
    EXPECT_EQ(LoginService(in).Login().outcome, LoginOutcome::OfflineFailed);
}

struct UploadCase {
    ServerFault fault;
    int accepted;
    int left; // rows still in uploads afterwards
};

TEST_F(HttpFaultsTest, UploadPassKeepsEveryRowTheServiceDidNotTake) {
    const std::vector<UploadCase> cases = {
        {ServerFault::Hang, 0, 2},
        {ServerFault::CloseMidBody, 0, 2},
        {ServerFault::HugeWithLength, 0, 2},
        {ServerFault::HugeWithoutLength, 0, 2},
        {ServerFault::SlowBeyondLimit, 0, 2},
        {ServerFault::SlowWithinLimit, 2, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(FaultName(c.fault));
        {
            RecordStore store(dir.file("orvalog.db"));
            ASSERT_TRUE(store.open("uploads"));
            for (const auto& row : store.readUploads().rows)
                store.deleteUpload(std::stoi(*row[0]));
            ASSERT_EQ(store.insert("uploads", {record("SN-A"), record("SN-B")}), RecordStore::Stored);
            store.close();
        }
        BadHttpServer server(c.fault, kReportOk);
        UploadConfig config = UploadConfig::FromSettings();
        config.reportUrl = server.url("/report");
        RecordStore store(dir.file("orvalog.db"));
        UploadPassResult result;
        const auto took = Timed([&] { result = uploadStoredRecords(store, config); });
        EXPECT_TRUE(result.opened);
        EXPECT_EQ(result.rows, 2);
        EXPECT_EQ(result.accepted, c.accepted);
        EXPECT_EQ(result.failed, 2 - c.accepted);
        EXPECT_EQ(uploadRows(), c.left);
        EXPECT_LT(took, 2 * std::chrono::seconds(kTimeoutSeconds) + kSlack);
    }
}

TEST_F(HttpFaultsTest, ReportOfAFinishedDiagnosisIsKeptWhenTheServiceMisbehaves) {
    for (const auto fault : {ServerFault::Hang, ServerFault::CloseMidBody, ServerFault::HugeWithoutLength}) {
        SCOPED_TRACE(FaultName(fault));
        BadHttpServer server(fault, kReportOk);
        UploadConfig config = UploadConfig::FromSettings();
        config.reportUrl = server.url("/report");
        RecordStore store(dir.file("orvalog.db"));
        const int before = uploadRows();
        ReportOutcome outcome{};
        const auto took = Timed([&] { outcome = reportNewest({record("SN-R")}, store, config); });
        EXPECT_EQ(outcome, ReportOutcome::KeptForUpload);
        EXPECT_EQ(uploadRows(), std::max(before, 0) + 1);
        EXPECT_LT(took, std::chrono::seconds(kTimeoutSeconds) + kSlack);
    }
}

} // namespace
} // namespace orva::test

// The login and reporting services of the simulator, talked to with an HTTP(S) client on 127.0.0.1.
#include "sim/ServiceEndpoints.h"
#include "sim/GatewaySimulator.h"
#include "TestSupport.h"

#include <gtest/gtest.h>
#include <httplib.h>
#include <nlohmann/json.hpp>

#include <condition_variable>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <sstream>
#include <thread>

namespace orva::sim {
namespace {

using namespace std::chrono_literals;

std::string loginRequest(const std::string& user, const std::string& password) {
    return "<SoftWareLogin>\r\n<CurrentSoftWareVersion>11-2.2-33333333</CurrentSoftWareVersion>\r\n<UserName>" + user +
           "</UserName>\r\n<UserPassWD>" + password + "</UserPassWD>\r\n</SoftWareLogin>\r\n";
}

std::string reportDocument(const std::string& sn) {
    return "<DeviceList>\r\n<DeviceDiag>\r\n<Operator>O&apos;Neil 张</Operator>\r\n<SN>" + sn +
           "</SN>\r\n<DeviceType>KT540G</DeviceType>\r\n</DeviceDiag>\r\n</DeviceList>\r\n";
}

Options webOptions() {
    Options o;
    o.udp = false;
    o.http = "127.0.0.1:0";
    o.users = {{"alice", "secret"}, {"o<n>", "p&w"}};
    return o;
}

struct Started {
    explicit Started(Options o) : services(std::move(o)) {
        const Result<void> startup = services.start();
        ok = startup.ok();
        EXPECT_TRUE(ok) << startup.error();
    }
    ServiceEndpoints services;
    bool ok = false;
};

TEST(SimServices, LoginChecksTheConfiguredAccounts) {
    Started s(webOptions());
    ASSERT_TRUE(s.ok);
    httplib::Client client("127.0.0.1", s.services.httpPort());
    struct Case {
        std::string name;
        std::string body;
        int status;
        std::string reply;
    };
    const std::vector<Case> cases = {
        {"right password", loginRequest("alice", "secret"), 200,
         "<SoftWareLogin><LoginResult>success</LoginResult></SoftWareLogin>"},
        {"wrong password", loginRequest("alice", "Secret"), 200,
         "<SoftWareLogin><LoginResult>fail</LoginResult></SoftWareLogin>"},
        {"user in other letter case", loginRequest("Alice", "secret"), 200,
         "<SoftWareLogin><LoginResult>fail</LoginResult></SoftWareLogin>"},
        {"escaped user name and password", loginRequest("o&lt;n&gt;", "p&amp;w"), 200,
         "<SoftWareLogin><LoginResult>success</LoginResult></SoftWareLogin>"},
        {"empty password element", "<SoftWareLogin><UserName>alice</UserName><UserPassWD/></SoftWareLogin>", 200,
         "<SoftWareLogin><LoginResult>fail</LoginResult></SoftWareLogin>"},
        {"not a login request", "<DeviceList></DeviceList>", 400, "not a login request\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto res = client.Post(ServiceEndpoints::kLoginPath, c.body, "text/xml");
        ASSERT_TRUE(res) << httplib::to_string(res.error());
        EXPECT_EQ(res->status, c.status);
        EXPECT_EQ(res->body, c.reply);
    }
    auto logins = s.services.logins();
    ASSERT_EQ(logins.size(), 5u);
    EXPECT_EQ(logins[3].user, "o<n>");
    EXPECT_EQ(logins[3].password, "p&w");
    EXPECT_TRUE(logins[3].accepted);
    EXPECT_EQ(logins[4].password, "");
    EXPECT_FALSE(logins[4].accepted);
}

TEST(SimServices, SuccessfulLoginAnnouncesAnUpdateServedByTheSimulator) {
    Options o = webOptions();
    o.updateVersion = "11-2.2-40000000";
    Started s(o);
    ASSERT_TRUE(s.ok);
    httplib::Client client("127.0.0.1", s.services.httpPort());

    auto refused = client.Post(ServiceEndpoints::kLoginPath, loginRequest("alice", "nope"), "text/xml");
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->body.find("UpdateSoftWareVersion"), std::string::npos);

    auto res = client.Post(ServiceEndpoints::kLoginPath, loginRequest("alice", "secret"), "text/xml");
    ASSERT_TRUE(res);
    const std::string url = s.services.httpUrl() + ServiceEndpoints::kInstallerPath;
    EXPECT_EQ(res->body, "<SoftWareLogin><LoginResult>success</LoginResult>"
                         "<UpdateSoftWareVersion>11-2.2-40000000</UpdateSoftWareVersion>"
                         "<DownLoadURL>" +
                             url + "</DownLoadURL></SoftWareLogin>");

    auto download = client.Get(ServiceEndpoints::kInstallerPath);
    ASSERT_TRUE(download);
    EXPECT_EQ(download->status, 200);
    EXPECT_EQ(download->get_header_value("Content-Length"), std::to_string(s.services.installer().size()));
    EXPECT_EQ(download->body, s.services.installer());
    EXPECT_NE(download->body.find("11-2.2-40000000"), std::string::npos);
    EXPECT_EQ(s.services.downloads(), 1);

    // The announcement can be withdrawn while running.
    s.services.setUpdateVersion("");
    res = client.Post(ServiceEndpoints::kLoginPath, loginRequest("alice", "secret"), "text/xml");
    ASSERT_TRUE(res);
    EXPECT_EQ(res->body, "<SoftWareLogin><LoginResult>success</LoginResult></SoftWareLogin>");
}

TEST(SimServices, ReportingServiceAnswersInEveryModeAndKeepsEveryDocument) {
    orva::test::TempProgramDir dir("orva-sim");
    Options o = webOptions();
    o.reportsFile = dir.file("reports.jsonl");
    o.slowMs = 200;
    Started s(o);
    ASSERT_TRUE(s.ok);
    struct Case {
        ReportMode mode;
        bool answered;
        int status;
        std::string body;
    };
    const std::vector<Case> cases = {
        {ReportMode::Ok, true, 200, "<Response><Code>0</Code></Response>"},
        {ReportMode::Code1, true, 200, "<Response><Code>1</Code></Response>"},
        {ReportMode::Html500, true, 500, "<html><head><title>500 Internal Server Error</title></head>"},
        {ReportMode::Silent, false, 0, ""},
        {ReportMode::Slow, true, 200, "<Response><Code>0</Code></Response>"},
    };
    for (size_t i = 0; i < cases.size(); ++i) {
        const auto& c = cases[i];
        SCOPED_TRACE(i);
        s.services.setReportMode(c.mode);
        httplib::Client client("127.0.0.1", s.services.httpPort());
        auto res = client.Post(ServiceEndpoints::kReportPath, reportDocument("SN" + std::to_string(i)), "text/xml");
        ASSERT_EQ(bool(res), c.answered) << httplib::to_string(res.error());
        if (res) {
            EXPECT_EQ(res->status, c.status);
            EXPECT_TRUE(res->body.starts_with(c.body)) << res->body;
        }
    }
    auto reports = s.services.reports();
    ASSERT_EQ(reports.size(), cases.size());
    std::istringstream file(orva::test::readFile(o.reportsFile));
    std::string line;
    for (size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(reports[i].sn, "SN" + std::to_string(i));
        EXPECT_EQ(reports[i].body, reportDocument("SN" + std::to_string(i)));
        EXPECT_EQ(reports[i].path, ServiceEndpoints::kReportPath);
        ASSERT_TRUE(std::getline(file, line));
        auto j = nlohmann::json::parse(line);
        EXPECT_EQ(j["body"], reports[i].body);
        EXPECT_EQ(j["sn"], reports[i].sn);
    }
    EXPECT_FALSE(std::getline(file, line));
}

// The fail-every setting as a command line gives it, against the answers of seven reports in a row:
// '0' Code 0, '1' Code 1, 'H' the HTML error page, '-' no answer.
TEST(SimServices, EveryNthReportIsAnsweredInTheFailureMode) {
    struct Case {
        std::vector<std::string> args;
        std::string answers;
    };
    const std::vector<Case> cases = {
        {{}, "0000000"},
        {{"--report-fail-every", "0"}, "0000000"},
        {{"--report-fail-every", "3"}, "0010010"},
        {{"--report-fail-every", "1"}, "1111111"},
        {{"--report-fail-every", "2", "--report-fail-mode", "html500"}, "0H0H0H0"},
        {{"--report-fail-every", "3", "--report-fail-mode", "silent"}, "00-00-0"},
        {{"--report-mode", "code1", "--report-fail-every", "4", "--report-fail-mode", "ok"}, "1110111"},
        {{"--report-fail-mode", "html500"}, "0000000"},
    };
    for (const auto& c : cases) {
        std::string line;
        for (const auto& a : c.args)
            line += a + " ";
        SCOPED_TRACE(line);
        Options o = webOptions();
        bool help = false;
        const Result<void> parsed = ParseCommandLine(c.args, o, help);
        ASSERT_TRUE(parsed.ok()) << parsed.error();
        Started s(o);
        ASSERT_TRUE(s.ok);
        std::string answers;
        for (size_t i = 0; i < c.answers.size(); ++i) {
            httplib::Client client("127.0.0.1", s.services.httpPort());
            auto res = client.Post(ServiceEndpoints::kReportPath, reportDocument("N" + std::to_string(i)), "text/xml");
            if (!res)
                answers += '-';
            else if (res->status == 500 && res->body.find("<html>") == 0)
                answers += 'H';
            else if (res->status == 200 && res->body == "<Response><Code>0</Code></Response>")
                answers += '0';
            else if (res->status == 200 && res->body == "<Response><Code>1</Code></Response>")
                answers += '1';
            else
                answers += '?';
        }
        EXPECT_EQ(answers, c.answers);
        // Failed or not, every report is kept.
        EXPECT_EQ(s.services.reports().size(), c.answers.size());
    }
}

TEST(SimServices, FailEveryNeedsACountAndAKnownMode) {
    struct Case {
        std::vector<std::string> args;
        std::string error;
    };
    const std::vector<Case> cases = {
        {{"--report-fail-every"}, "--report-fail-every needs a value"},
        {{"--report-fail-every", "-1"}, "bad --report-fail-every '-1'"},
        {{"--report-fail-every", "3x"}, "bad --report-fail-every '3x'"},
        {{"--report-fail-mode", "sometimes"}, "bad --report-fail-mode 'sometimes'"},
        {{"--report-fail-mode"}, "--report-fail-mode needs a value"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args[0]);
        Options o;
        bool help = false;
        const Result<void> parsed = ParseCommandLine(c.args, o, help);
        EXPECT_FALSE(parsed.ok());
        EXPECT_TRUE(parsed.error().starts_with(c.error)) << parsed.error();
    }
    Options o;
    bool help = false;
    ASSERT_TRUE(ParseCommandLine({"--report-fail-every", "5", "--report-fail-mode", "silent"}, o, help).ok());
    EXPECT_EQ(o.reportFailEvery, 5);
    EXPECT_EQ(o.reportFailMode, ReportMode::Silent);
    EXPECT_NE(UsageText().find("--report-fail-every N"), std::string::npos);
}

TEST(SimServices, StopEndsASlowAnswerEarly) {
    Options o = webOptions();
    o.reportMode = ReportMode::Slow;
    o.slowMs = 600000; // far beyond the test's time-out: stop() must cut it short
    Started s(o);
    ASSERT_TRUE(s.ok);
    const int port = s.services.httpPort();
    std::jthread poster([port] {
        httplib::Client client("127.0.0.1", port);
        client.Post(ServiceEndpoints::kReportPath, reportDocument("SLOW"), "text/xml");
    });
    ASSERT_TRUE(s.services.waitForReports(1, 10s));
    s.services.stop();
    EXPECT_EQ(s.services.httpPort(), 0);
}

// Stopping straight after start (by stop() or by the destructor) used to hang for good when the accept
// loop had not begun yet. The rounds run on their own thread so that a hang fails the test instead of
// stalling the suite.
TEST(SimServices, StopStraightAfterStartAlwaysEnds) {
    struct Shared {
        std::mutex mutex;
        std::condition_variable done;
        bool finished = false;
        std::vector<std::string> failures;
    };
    auto shared = std::make_shared<Shared>();
    std::thread rounds([shared] {
        for (int i = 0; i < 200; ++i) {
            ServiceEndpoints services(webOptions());
            const Result<void> startup = services.start();
            if (!startup) {
                std::lock_guard lock(shared->mutex);
                shared->failures.push_back("round " + std::to_string(i) + ": " + startup.error());
                continue;
            }
            if (i % 2 == 0)
                services.stop(); // odd rounds leave it to the destructor
        }
        std::lock_guard lock(shared->mutex);
        shared->finished = true;
        shared->done.notify_all();
    });
    std::unique_lock lock(shared->mutex);
    if (!shared->done.wait_for(lock, 60s, [&] { return shared->finished; })) {
        rounds.detach();
        FAIL() << "stop() did not return";
    }
    lock.unlock();
    rounds.join();
    EXPECT_TRUE(shared->failures.empty()) << shared->failures.front();
}

// A certificate for 127.0.0.1 made with the openssl tool, valid for a day.
struct Certificate {
    orva::test::TempProgramDir dir{"orva-sim-tls"};
    std::string cert = dir.file("cert.pem");
    std::string key = dir.file("key.pem");
    bool made = false;
    Certificate() {
        std::string cmd = "openssl req -x509 -newkey rsa:2048 -nodes -days 1 -subj /CN=127.0.0.1 "
                          "-addext subjectAltName=IP:127.0.0.1 -keyout '" +
                          key + "' -out '" + cert + "' >/dev/null 2>&1";
        made = std::system(cmd.c_str()) == 0;
    }
};

TEST(SimServices, HttpsServesTheSameServicesWithAVerifiableCertificate) {
    Certificate tls;
    ASSERT_TRUE(tls.made);
    Options o = webOptions();
    o.http.clear();
    o.https = "127.0.0.1:0";
    o.certFile = tls.cert;
    o.keyFile = tls.key;
    o.updateVersion = "12";
    Started s(o);
    ASSERT_TRUE(s.ok);
    EXPECT_EQ(s.services.httpPort(), 0);

    httplib::SSLClient client("127.0.0.1", s.services.httpsPort());
    client.set_ca_cert_path(tls.cert.c_str());
    client.enable_server_certificate_verification(true);
    auto res = client.Post(ServiceEndpoints::kLoginPath, loginRequest("alice", "secret"), "text/xml");
    ASSERT_TRUE(res) << httplib::to_string(res.error());
    EXPECT_NE(res->body.find("<DownLoadURL>https://127.0.0.1:" + std::to_string(s.services.httpsPort()) +
                             ServiceEndpoints::kInstallerPath + "</DownLoadURL>"),
              std::string::npos)
        << res->body;
    auto download = client.Get(ServiceEndpoints::kInstallerPath);
    ASSERT_TRUE(download);
    EXPECT_EQ(download->status, 200);

    s.services.setReportMode(ReportMode::Silent);
    EXPECT_FALSE(client.Post(ServiceEndpoints::kReportPath, reportDocument("TLS"), "text/xml"));
    EXPECT_EQ(s.services.reports().size(), 1u);
}

TEST(SimServices, BadEndpointsAreRefused) {
    struct Case {
        std::string http, https, cert;
        std::string error;
    };
    const std::vector<Case> cases = {
        {"0.0.0.0:0", "", "", "only loopback"}, // refused: every interface
        {"localhost:80", "", "", "not IPV4:PORT"},
        {"127.0.0.1", "", "", "not IPV4:PORT"},
        {"127.0.0.1:70000", "", "", "bad port"},
        {"", "127.0.0.1:0", "", "certificate and a key"},
        {"", "127.0.0.1:0", "/nonexistent.pem", "cannot load"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.http + c.https + c.cert);
        Options o;
        o.http = c.http;
        o.https = c.https;
        o.certFile = c.cert;
        o.keyFile = c.cert;
        ServiceEndpoints services(o);
        const Result<void> startup = services.start();
        EXPECT_FALSE(startup.ok());
        EXPECT_NE(startup.error().find(c.error), std::string::npos) << startup.error();
        EXPECT_EQ(services.httpPort(), 0);
    }
}

TEST(SimServices, SimulatorCanServeTheWebEndpointsAlone) {
    GatewaySimulator sim(webOptions());
    const Result<void> startup = sim.start();
    ASSERT_TRUE(startup.ok()) << startup.error();
    ASSERT_NE(sim.services(), nullptr);
    const std::string endpoint = "127.0.0.1:" + std::to_string(sim.services()->httpPort());
    EXPECT_EQ(sim.listeningLine(), "orva-gateway-sim listening on " + endpoint + " (http " + endpoint + ")");
    httplib::Client client("127.0.0.1", sim.services()->httpPort());
    auto res = client.Post(ServiceEndpoints::kReportPath, reportDocument("X"), "text/xml");
    ASSERT_TRUE(res);
    EXPECT_EQ(res->body, "<Response><Code>0</Code></Response>");
    sim.stop();
    EXPECT_FALSE(sim.running());

    Options nothing;
    nothing.udp = false;
    GatewaySimulator idle(nothing);
    const Result<void> idleStartup = idle.start();
    EXPECT_FALSE(idleStartup.ok());
    EXPECT_NE(idleStartup.error().find("nothing to serve"), std::string::npos);
}

} // namespace
} // namespace orva::sim

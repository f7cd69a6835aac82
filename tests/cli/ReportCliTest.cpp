// The end of a diagnosis in orva-cli with a real reporting service (the simulator's, on 127.0.0.1): what
// the technician reads on the screen and in orva.log for each way the report ends, and Ctrl-C while the
// report is out.
#include "core/records/RecordStore.h"
#include "core/web/LoginFile.h"

#include "CliRunner.h"
#include "SimulatorPeers.h"
#include "TestSubnets.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <iconv.h>
#include <signal.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <regex>
#include <sstream>
#include <thread>

namespace orva::test {
namespace {

constexpr int kSubnet = orva::test::subnets::cli::kReport;
const std::string kSoftwareVersion = "HG_SOFTWARE_DIAG STEP=1";

std::string FromGbk(const std::string& bytes) {
    iconv_t cd = iconv_open("UTF-8", "GBK");
    std::string out(bytes.size() * 2 + 16, '\0');
    char* in = const_cast<char*>(bytes.data());
    size_t inLeft = bytes.size();
    char* o = out.data();
    size_t outLeft = out.size();
    iconv(cd, &in, &inLeft, &o, &outLeft);
    iconv_close(cd);
    out.resize(out.size() - outLeft);
    return out;
}

std::vector<std::string> ReportLines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        out.push_back(line);
    }
    return out;
}

std::string WithoutCheckDate(const std::string& text) {
    static const std::regex checkDate(R"(<CheckDate>[^<]*</CheckDate>)");
    return std::regex_replace(text, checkDate, "<CheckDate/>");
}

// The "SAVE" and "UPLOAD" entries of orva.log as "[TAG]:message" (a message of several lines joined
// again), with the report's check date blanked so that two runs compare.
std::vector<std::string> ReportLogLines(const std::string& logPath) {
    static const std::regex header(R"(^\[([^\]]*)\]\([^)]*\):([\s\S]*)$)");
    std::vector<std::pair<std::string, std::string>> entries;
    for (const std::string& line : ReportLines(FromGbk(readFile(logPath)))) {
        std::smatch m;
        if (std::regex_match(line, m, header))
            entries.emplace_back(m[1].str(), m[2].str());
        else if (!entries.empty())
            entries.back().second += "\n" + line;
    }
    std::vector<std::string> out;
    for (const auto& [tag, message] : entries)
        if (tag == "SAVE" || tag == "UPLOAD")
            out.push_back("[" + tag + "]:" + WithoutCheckDate(message));
    return out;
}

class ReportCliTest : public ::testing::Test {
protected:
    void SetUp() override {
        // KT540G with only the software version selected: a short run that still sends the telephone
        // start and stop.
        std::string flags;
        for (int n = 1; n <= 22; ++n)
            flags += std::string(n > 1 ? "," : "") + (n == 17 ? "1" : "0");
        writeFile(dir.file("res/device.ini"),
                  "[DeviceName]\nList=KT540G\n[DeviceCount]\nCount=1\n[DeviceInfo]\nKT540G=" + flags + "\n");
        ASSERT_TRUE(RememberCredentials(dir.file("res/login.xml"), "tech01", "pw"));
    }
    void TearDown() override {
        if (gateway)
            gateway->stop();
        if (service)
            service->stop();
    }
    void startGateway(std::vector<sim::Override> overrides = {}) {
        ASSERT_TRUE(StartSimulator(gateway, kSubnet, {.sn = "RPT-1", .overrides = std::move(overrides)}));
    }
    void startService(sim::ReportMode mode, int slowMs = 30000) {
        ASSERT_TRUE(StartServices(service, {.reportMode = mode, .slowMs = slowMs}));
        dir.writeSettings(kSubnet, {{"RunNet", "1"}, {"ReportURL", service->httpUrl() + "/report"}});
    }
    std::vector<std::string> diagnose(int replyTimeout = 1) const {
        return {"--dir",
                dir.path(),
                "--user",
                "tech01",
                "--password",
                "pw",
                "diagnose",
                "--answers",
                "yes",
                "--model",
                "KT540G",
                "--reply-timeout",
                std::to_string(replyTimeout)};
    }
    std::vector<std::string> serials(const std::string& table) const {
        std::vector<std::string> out;
        if (!std::filesystem::is_regular_file(dir.file("orvalog.db")))
            return out;
        RecordStore store(dir.file("orvalog.db"));
        if (!store.open(table))
            return out;
        if (table == "logs") {
            for (const auto& r : store.logsAfter(0))
                out.push_back(r.record.sn);
        } else {
            for (const auto& row : store.readUploads().rows)
                out.push_back(RecordFromRow(row).record.sn);
        }
        return out;
    }
    bool gatewayGot(const std::string& command) const {
        for (const auto& c : gateway->commands())
            if (c == command)
                return true;
        return false;
    }

    TempProgramDir dir{"orva-cli-report"};
    std::unique_ptr<sim::GatewaySimulator> gateway;
    std::unique_ptr<sim::ServiceEndpoints> service;
};

struct EndCase {
    const char* name;
    sim::ReportMode mode;
    bool storeFails; // orvalog.db turns into a folder during the last check
    int code;
    std::vector<std::string> screenTail; // the last lines of standard output ({URL}: the report's)
    std::vector<std::string> errors;     // standard error after the report went out
    bool savedLine;                      // "SAVE" success line, else the two failure lines
    std::vector<std::string> logs, uploads;
};

const std::string kDocStart = "<DeviceList>";
const std::string kNotStored = "orva-cli: the record of this diagnosis was not stored";
const std::string kCantOpen = "SQLITE_CANTOPEN[14]: unable to open database file";
const std::string kOffline = "离线登录成功!";

class FinalReport : public ReportCliTest, public ::testing::WithParamInterface<EndCase> {};

// The lines each ending shows, on the screen and in orva.log, in their order; these are the lines the
// tool showed when it still reported before it stored.
TEST_P(FinalReport, EachEndingShowsItsLinesInTheirOrder) {
    const EndCase& c = GetParam();
    startService(c.mode);
    sim::Override late;
    late.prefix = kSoftwareVersion;
    late.delayMs = 1000;
    startGateway(c.storeFails ? std::vector<sim::Override>{late} : std::vector<sim::Override>{});
    CliRunner cli(diagnose(3));
    if (c.storeFails) {
        // Start found the file usable; while the last check waits for its reply the file goes.
        bool reached = false;
        for (int i = 0; i < 600 && !reached; ++i) {
            reached = gatewayGot(kSoftwareVersion);
            if (!reached)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        ASSERT_TRUE(reached);
        std::filesystem::remove(dir.file("orvalog.db"));
        std::filesystem::create_directory(dir.file("orvalog.db"));
    }
    const CliOutcome o = cli.finish();
    EXPECT_EQ(o.code, c.code) << o.out << o.err;
    const std::string url = service->httpUrl() + "/report";
    std::vector<std::string> tail = c.screenTail;
    for (std::string& line : tail)
        if (auto at = line.find("{URL}"); at != std::string::npos)
            line.replace(at, 5, url);
    const auto out = ReportLines(o.out);
    ASSERT_GE(out.size(), tail.size()) << o.out;
    EXPECT_EQ(std::vector<std::string>(out.end() - static_cast<long>(tail.size()), out.end()), tail) << o.out;
    // The login, the address being reached, the report going out, then what the ending adds.
    std::vector<std::string> errors = {kOffline, "connecting to " + gatewayAddress(kSubnet) + " …",
                                       "sending the report to " + url + " …"};
    errors.insert(errors.end(), c.errors.begin(), c.errors.end());
    EXPECT_EQ(ReportLines(o.err), errors) << o.err;

    ASSERT_EQ(service->reports().size(), 1u);
    // The upload pass beside the run found nothing to send.
    std::vector<std::string> expected = {"[UPLOAD]:DB 开启，准备上传数据到云平台", "[UPLOAD]:DB关闭"};
    if (c.savedLine) {
        expected.push_back("[SAVE]:云平台上传记录成功");
    } else {
        expected.push_back("[SAVE]:云平台上传失败，暂存到本地:");
        expected.push_back("[SAVE]:" + WithoutCheckDate(service->reports()[0].body));
    }
    EXPECT_EQ(ReportLogLines(dir.file("orva.log")), expected);

    if (c.storeFails)
        std::filesystem::remove(dir.file("orvalog.db"));
    EXPECT_EQ(serials("logs"), c.logs);
    EXPECT_EQ(serials("uploads"), c.uploads);
}

const std::vector<std::string> kFinishedScreen = {" 1. 软件版本号: 成功 V1.0.3", "诊断完毕"};
std::vector<std::string> FinishedAndKept(const std::string& why) {
    return {" 1. 软件版本号: 成功 V1.0.3", "诊断完毕", "the record waits in uploads for the next upload: " + why};
}

INSTANTIATE_TEST_SUITE_P(
    Endings, FinalReport,
    ::testing::Values(
        EndCase{"Accepted", sim::ReportMode::Ok, false, 0, kFinishedScreen, {}, true, {"RPT-1"}, {}},
        EndCase{"Refused", sim::ReportMode::Code1, false, 0,
                FinishedAndKept("the reporting service did not accept it (Code 1)"), {}, false, {"RPT-1"},
                {"RPT-1"}},
        EndCase{"ErrorPage", sim::ReportMode::Html500, false, 0,
                FinishedAndKept("the reporting service did not accept it (HTTP 500, no report reply)"), {}, false,
                {"RPT-1"}, {"RPT-1"}},
        EndCase{"NoReply", sim::ReportMode::Silent, false, 0,
                FinishedAndKept("no answer from {URL} (Empty reply from server)"), {}, false, {"RPT-1"},
                {"RPT-1"}},
        EndCase{"StoreFailed",
                sim::ReportMode::Ok,
                true,
                1,
                kFinishedScreen,
                {kCantOpen, kNotStored},
                true,
                {},
                {}}),
    [](const auto& info) { return std::string(info.param.name); });

// Ctrl-C while the service sits on the report: the request is given up at once, the record waits in
// uploads, and the exit code is that of a finished, stored run.
TEST_F(ReportCliTest, InterruptDuringTheReportEndsAtOnceWithTheRecordKept) {
    startService(sim::ReportMode::Slow, 30000);
    startGateway();
    CliRunner cli(diagnose());
    ASSERT_TRUE(service->waitForReports(1, std::chrono::seconds(30)));
    const auto began = std::chrono::steady_clock::now();
    cli.signal(SIGINT);
    const CliOutcome o = cli.finish();
    EXPECT_LT(std::chrono::steady_clock::now() - began, std::chrono::seconds(4));
    EXPECT_EQ(o.code, 0) << o.out << o.err;
    EXPECT_EQ(serials("logs"), std::vector<std::string>{"RPT-1"});
    EXPECT_EQ(serials("uploads"), std::vector<std::string>{"RPT-1"});
    const auto log = ReportLogLines(dir.file("orva.log"));
    ASSERT_GE(log.size(), 1u);
    EXPECT_NE(std::find(log.begin(), log.end(), "[SAVE]:云平台上传失败，暂存到本地:"), log.end());
}

// Ctrl-C while the gateway rings: the run stops as before, and the gateway gets the STOP of its
// telephone test before orva-cli ends.
TEST_F(ReportCliTest, InterruptDuringTheTelephoneTestSendsItsStop) {
    std::string flags;
    for (int n = 1; n <= 22; ++n)
        flags += std::string(n > 1 ? "," : "") + (n == 5 ? "1" : "0");
    writeFile(dir.file("res/device.ini"),
              "[DeviceName]\nList=KT540G\n[DeviceCount]\nCount=1\n[DeviceInfo]\nKT540G=" + flags + "\n");
    dir.writeSettings(kSubnet, {{"RunNet", "0"}});
    const std::string ring = "HG_HARDWARE_DIAG STEP=2 METHOD=RINGON POSNUM=0";
    sim::Override late;
    late.prefix = ring;
    late.delayMs = 1500;
    startGateway({late});
    CliRunner cli(diagnose(3));
    bool ringing = false;
    for (int i = 0; i < 1000 && !ringing; ++i) {
        ringing = gatewayGot(ring);
        if (!ringing)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_TRUE(ringing);
    cli.signal(SIGINT);
    const CliOutcome o = cli.finish();
    EXPECT_EQ(o.code, 2) << o.out << o.err;
    const auto commands = gateway->commands();
    const auto rang = std::find(commands.begin(), commands.end(), ring);
    ASSERT_NE(rang, commands.end());
    EXPECT_EQ(std::count(rang, commands.end(), "HG_HARDWARE_DIAG STEP=2 METHOD=STOP"), 1);
    EXPECT_TRUE(serials("logs").empty());
    EXPECT_TRUE(serials("uploads").empty());
}

} // namespace
} // namespace orva::test

// Processes killed with SIGKILL while they store or send records: after a restart every record they said
// was stored is in logs, and in uploads unless the service acknowledged it, and the file is sound.
#include "ChildProcess.h"
#include "FaultSupport.h"

#include "SimulatorPeers.h"
#include "TestSubnets.h"
#include "TestSupport.h"
#include "core/records/RecordStore.h"
#include "core/web/LoginFile.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <chrono>
#include <map>
#include <signal.h>
#include <sstream>
#include <thread>

namespace orva::test {
namespace {

constexpr int kSubnet = orva::test::subnets::faults_kill::kKilled;

bool Contains(const std::vector<std::string>& list, const std::string& item) {
    return std::find(list.begin(), list.end(), item) != list.end();
}

std::unique_ptr<sim::ServiceEndpoints> StartService(sim::ReportMode mode, int slowMs = 0, int failEvery = 0) {
    std::unique_ptr<sim::ServiceEndpoints> service;
    EXPECT_TRUE(StartServices(service, {.reportMode = mode,
                                        .slowMs = slowMs,
                                        .reportFailEvery = failEvery,
                                        .reportFailMode = sim::ReportMode::Code1}));
    return service;
}

class KilledProcessTest : public ::testing::Test {
protected:
    void useService(const sim::ServiceEndpoints& service) {
        dir.writeSettings(kSubnet, {{"RunNet", "1"}, {"ReportURL", service.httpUrl() + "/report"}});
    }
    std::string db() const { return dir.file("orvalog.db"); }

    TempProgramDir dir{"orva-faults-kill"};
};

// What the store loop said before it was killed: record number → acknowledged by the service.
std::map<int, bool> ReportedStored(const std::string& out) {
    std::map<int, bool> stored;
    std::istringstream in(out);
    std::string word, how;
    int n = 0;
    while (in >> word >> n) {
        if (word == "stored" && in >> how)
            stored[n] = how == "accepted";
    }
    return stored;
}

TEST_F(KilledProcessTest, RecordsReportedAsStoredSurviveAKillAtAnyPoint) {
    // Every second report is refused, so both tables are written in most rounds.
    auto service = StartService(sim::ReportMode::Ok, 0, 2);
    useService(*service);
    // After the k-th "stored" line the kill waits this long, so it lands in different phases of the next
    // record: the report, the uploads transaction, the logs transaction, between them.
    const std::vector<int> delaysUs = {0, 100, 300, 700, 1500, 3000, 6000, 12000, 250, 2000, 50, 500, 900, 4000, 8000};
    std::map<int, bool> reported;
    for (std::size_t round = 0; round < delaysUs.size(); ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        const int first = static_cast<int>(round) * 1000;
        ChildProcess loop(StoreLoopPath(), {"--dir", dir.path(), std::to_string(first), "500"});
        ASSERT_TRUE(loop.waitForLines(2 + round % 3, 30000)) << loop.finish().err;
        std::this_thread::sleep_for(std::chrono::microseconds(delaysUs[round]));
        loop.kill(SIGKILL);
        const ChildOutcome o = loop.finish();
        ASSERT_EQ(o.signal, SIGKILL) << o.err;
        for (const auto& [n, accepted] : ReportedStored(o.out))
            reported[n] = accepted;

        // The next start finds a sound file (a hot journal is rolled back by the first connection).
        ASSERT_EQ(IntegrityCheck(db()), "ok");
        const auto logs = SerialsIn(db(), "logs");
        const auto uploads = SerialsIn(db(), "uploads");
        for (const auto& [n, accepted] : reported) {
            const std::string sn = "LOOP-" + std::to_string(n);
            EXPECT_EQ(std::count(logs.begin(), logs.end(), sn), 1) << sn;
            EXPECT_EQ(Contains(uploads, sn), !accepted) << sn;
        }
        // Nor did the kill leave a record waiting for upload that logs lacks (the one under way is in
        // both tables or in neither).
        for (const auto& sn : uploads)
            EXPECT_TRUE(Contains(logs, sn)) << sn;
    }
    EXPECT_GE(reported.size(), 20u);

    // And the tool goes on storing after all those kills.
    ChildProcess again(StoreLoopPath(), {"--dir", dir.path(), "90000", "3"});
    const ChildOutcome o = again.finish();
    EXPECT_EQ(o.code, 0) << o.err;
    EXPECT_EQ(ReportedStored(o.out).size(), 3u) << o.out << o.err;
    EXPECT_EQ(IntegrityCheck(db()), "ok");
}

struct UploadKill {
    const char* name;
    int killWhileSending; // the pass is killed while this report (1-based) waits for its answer
};

class UploadPassKilled : public KilledProcessTest, public ::testing::WithParamInterface<UploadKill> {};

TEST_P(UploadPassKilled, RowsNotAcknowledgedStayAndGoOutAgain) {
    constexpr int kRows = 5;
    {
        RecordStore store(db());
        ASSERT_TRUE(store.open("uploads"));
        for (int i = 1; i <= kRows; ++i)
            ASSERT_EQ(store.insert("uploads", {SampleRecord("UP-" + std::to_string(i))}), RecordStore::Stored);
    }
    ASSERT_TRUE(RememberCredentials(dir.file("res/login.xml"), "tech01", "pw"));
    // Each answer comes late; the third is a refusal (which comes at once).
    auto slow = StartService(sim::ReportMode::Slow, 600, 3);
    useService(*slow);
    const std::vector<std::string> upload = {"--dir", dir.path(), "--user", "tech01", "--password", "pw", "upload"};

    const int k = GetParam().killWhileSending;
    {
        ChildProcess cli(CliPath(), upload);
        ASSERT_TRUE(slow->waitForReports(static_cast<std::size_t>(k), std::chrono::seconds(30)));
        cli.kill(SIGKILL);
        EXPECT_EQ(cli.finish().signal, SIGKILL);
    }
    slow->stop();
    // Rows before the one under way were acknowledged and deleted, except the refused third one; the row
    // under way was received by the service but never acknowledged, so it stays.
    std::vector<std::string> expected;
    for (int i = 1; i <= kRows; ++i)
        if (i >= k || i == 3)
            expected.push_back("UP-" + std::to_string(i));
    EXPECT_EQ(SerialsIn(db(), "uploads"), expected);
    EXPECT_EQ(IntegrityCheck(db()), "ok");

    // The restart sends what is left, the interrupted row included.
    auto ok = StartService(sim::ReportMode::Ok);
    useService(*ok);
    ChildProcess again(CliPath(), upload);
    const ChildOutcome o = again.finish();
    EXPECT_EQ(o.code, 0) << o.out << o.err;
    EXPECT_EQ(ok->reports().size(), expected.size());
    EXPECT_TRUE(SerialsIn(db(), "uploads").empty());
    EXPECT_EQ(IntegrityCheck(db()), "ok");
}

INSTANTIATE_TEST_SUITE_P(KillPoints, UploadPassKilled,
                         ::testing::Values(UploadKill{"FirstRow", 1}, UploadKill{"SecondRow", 2},
                                           UploadKill{"AfterTheRefusal", 4}, UploadKill{"LastRow", 5}),
                         [](const auto& info) { return std::string(info.param.name); });

struct DiagnosisKill {
    const char* name;
    sim::ReportMode mode; // how the service answers the killed run's report
    int killDelayMs;      // after the service has the report
};

class DiagnosisProcess : public KilledProcessTest {
protected:
    void startGateway(const std::string& sn) {
        if (gateway)
            gateway->stop();
        ASSERT_TRUE(StartSimulator(gateway, kSubnet, {.sn = sn}));
    }
    std::vector<std::string> diagnose() const {
        return {"--dir",    dir.path(),        "--user",
                "tech01",   "--password",      "pw",
                "diagnose", "--address",       gatewayAddress(kSubnet),
                "--model",  "KT540G",          "--answers",
                "yes",      "--reply-timeout", "1"};
    }
    void SetUp() override {
        writeFile(dir.file("res/device.ini"), readFile(std::string(ORVA_TEST_SOURCE_DIR) + "/res/device.ini"));
        ASSERT_TRUE(RememberCredentials(dir.file("res/login.xml"), "tech01", "pw"));
    }
    void TearDown() override {
        if (gateway)
            gateway->stop();
    }
    static bool HasReportFor(const sim::ServiceEndpoints& s, const std::string& sn) {
        for (const auto& r : s.reports())
            if (r.sn == sn)
                return true;
        return false;
    }

    std::unique_ptr<sim::GatewaySimulator> gateway;
};

class DiagnosisKilled : public DiagnosisProcess, public ::testing::WithParamInterface<DiagnosisKill> {};

// The record is on disk before its report goes out: a kill while the service sits on the report leaves
// it in logs and in uploads, and the next upload delivers it, once.
TEST_F(DiagnosisProcess, KilledWhileTheReportIsOutTheRecordWaitsAndGoesOutOnce) {
    auto slow = StartService(sim::ReportMode::Slow, 30000);
    useService(*slow);
    startGateway("KILL-R");
    {
        ChildProcess cli(CliPath(), diagnose());
        ASSERT_TRUE(slow->waitForReports(1, std::chrono::seconds(30))) << cli.finish().err;
        ASSERT_TRUE(HasReportFor(*slow, "KILL-R"));
        cli.kill(SIGKILL);
        EXPECT_EQ(cli.finish().signal, SIGKILL);
    }
    slow->stop();
    EXPECT_EQ(IntegrityCheck(db()), "ok");
    EXPECT_EQ(SerialsIn(db(), "logs"), std::vector<std::string>{"KILL-R"});
    EXPECT_EQ(SerialsIn(db(), "uploads"), std::vector<std::string>{"KILL-R"});

    sim::Options o;
    o.udp = false;
    o.http = "127.0.0.1:0";
    o.reportsFile = dir.file("received-reports.json");
    sim::ServiceEndpoints ok(o);
    const Result<void> startup = ok.start();
    ASSERT_TRUE(startup.ok()) << startup.error();
    useService(ok);
    for (int pass = 0; pass < 2; ++pass) {
        ChildProcess upload(CliPath(), CliArgs(dir.path(), {"upload"}));
        const ChildOutcome u = upload.finish();
        EXPECT_EQ(u.code, 0) << u.out << u.err;
    }
    ok.stop();
    EXPECT_TRUE(SerialsIn(db(), "uploads").empty());
    EXPECT_EQ(SerialsIn(db(), "logs"), std::vector<std::string>{"KILL-R"});
    int delivered = 0;
    std::istringstream lines(readFile(dir.file("received-reports.json")));
    for (std::string line; std::getline(lines, line);) {
        const auto j = nlohmann::json::parse(line, nullptr, false);
        ASSERT_FALSE(j.is_discarded()) << line;
        EXPECT_EQ(j["sn"], "KILL-R");
        ++delivered;
    }
    EXPECT_EQ(delivered, 1);
}

TEST_P(DiagnosisKilled, EarlierRecordsSurviveAndTheNextRunStores) {
    // Two finished diagnoses the service refuses: each is in logs and in uploads.
    auto refusing = StartService(sim::ReportMode::Code1);
    useService(*refusing);
    for (const char* sn : {"KILL-1", "KILL-2"}) {
        startGateway(sn);
        ChildProcess cli(CliPath(), diagnose());
        const ChildOutcome o = cli.finish();
        ASSERT_EQ(o.code, 0) << o.out << o.err;
    }
    refusing->stop();
    ASSERT_EQ(SerialsIn(db(), "logs"), (std::vector<std::string>{"KILL-1", "KILL-2"}));
    ASSERT_EQ(SerialsIn(db(), "uploads"), (std::vector<std::string>{"KILL-1", "KILL-2"}));

    // The third is killed once its report has reached the service; the upload pass that runs beside the
    // diagnosis has the two stored rows out at the same time.
    auto service = StartService(GetParam().mode, 20000);
    useService(*service);
    startGateway("KILL-3");
    {
        ChildProcess cli(CliPath(), diagnose());
        bool reported = false;
        for (int i = 0; i < 600 && !reported; ++i) {
            reported = HasReportFor(*service, "KILL-3");
            if (!reported)
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        ASSERT_TRUE(reported) << cli.finish().err;
        std::this_thread::sleep_for(std::chrono::milliseconds(GetParam().killDelayMs));
        cli.kill(SIGKILL);
        // Storing is quick: now and then the run has ended by itself before the signal arrives.
        const ChildOutcome killed = cli.finish();
        EXPECT_TRUE(killed.signal == SIGKILL || killed.code == 0) << killed.signal << " " << killed.code;
    }
    service->stop();
    EXPECT_EQ(IntegrityCheck(db()), "ok");
    const auto logs = SerialsIn(db(), "logs");
    const auto uploads = SerialsIn(db(), "uploads");
    EXPECT_TRUE(Contains(logs, "KILL-1") && Contains(logs, "KILL-2"));
    // Kept unless the service acknowledged them to the pass before the kill (only possible when it answers).
    if (GetParam().mode != sim::ReportMode::Ok) {
        EXPECT_TRUE(Contains(uploads, "KILL-1"));
        EXPECT_TRUE(Contains(uploads, "KILL-2"));
    }
    // The killed run's record is there once or not at all.
    EXPECT_LE(std::count(logs.begin(), logs.end(), "KILL-3"), 1);

    // Restart: the next diagnosis is stored and the pass delivers everything kept.
    auto ok = StartService(sim::ReportMode::Ok);
    useService(*ok);
    startGateway("KILL-4");
    ChildProcess cli(CliPath(), diagnose());
    const ChildOutcome o = cli.finish();
    EXPECT_EQ(o.code, 0) << o.out << o.err;
    EXPECT_TRUE(Contains(SerialsIn(db(), "logs"), "KILL-4"));
    EXPECT_TRUE(SerialsIn(db(), "uploads").empty());
    EXPECT_EQ(IntegrityCheck(db()), "ok");
}

INSTANTIATE_TEST_SUITE_P(KillPoints, DiagnosisKilled,
                         ::testing::Values(DiagnosisKill{"WhileTheReportIsOut", sim::ReportMode::Slow, 0},
                                           DiagnosisKill{"RightAfterTheAcknowledgement", sim::ReportMode::Ok, 0},
                                           DiagnosisKill{"WhileTheRefusalIsStored", sim::ReportMode::Code1, 1}),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace orva::test

// The end of a run as the record and the gateway see it: a finished record is on disk before the run
// says it is over and stays there when its report is given up; a run stopped inside a telephone or
// uplink test closes that test on the gateway; a run whose record could not be stored does not start.
#include "SessionFixture.h"

#include "SimulatorPeers.h"
#include "TestSubnets.h"

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <thread>

namespace orva::test {
namespace {

constexpr int kStoreFirstSubnet = orva::test::subnets::session::kStoreFirst;

const std::string kPotsStart = "HG_HARDWARE_DIAG STEP=2 METHOD=START";
const std::string kPotsStop = "HG_HARDWARE_DIAG STEP=2 METHOD=STOP";
const std::string kUplinkStart = "HG_HARDWARE_DIAG STEP=3 METHOD=START";
const std::string kUplinkStop = "HG_HARDWARE_DIAG STEP=3 METHOD=STOP";

class StoreFirst : public SessionFixture {
protected:
    int subnetN() const override { return kStoreFirstSubnet; }

    // Reports go to the simulator's reporting service on 127.0.0.1, answering in `mode`.
    void useService(sim::ReportMode mode, int slowMs = 20000) {
        ASSERT_TRUE(StartServices(service, {.reportMode = mode, .slowMs = slowMs}));
        dir.writeSettings(kStoreFirstSubnet, {{"RunNet", "1"}, {"ReportURL", service->httpUrl() + "/report"}});
        AppSettings settings;
        ASSERT_TRUE(LoadAppSettings(SettingsFilePath(), settings));
        SetSettings(settings);
    }
    void TearDown() override {
        SessionFixture::TearDown();
        if (service)
            service->stop();
    }

    std::vector<std::string> serials(const std::string& table) const {
        RecordStore store(dir.file("orvalog.db"));
        std::vector<std::string> out;
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
    // How often the gateway received `command`.
    long countOf(const std::string& command) const {
        const auto commands = sim->commands();
        return std::count(commands.begin(), commands.end(), command);
    }
    bool waitFor(const std::function<bool()>& done, std::chrono::milliseconds bound) const {
        const auto end = std::chrono::steady_clock::now() + bound;
        while (!done()) {
            if (std::chrono::steady_clock::now() > end)
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return true;
    }

    std::unique_ptr<sim::ServiceEndpoints> service;
};

TEST_F(StoreFirst, TheRecordIsInBothTablesBeforeTheClosingBoxAndLeavesUploadsOnceAccepted) {
    useService(sim::ReportMode::Ok);
    startSimulator();
    session->setDeviceTemplate(only({17}));
    std::vector<std::string> logsAtBox, uploadsAtBox;
    std::size_t reportsAtBox = 99;
    view.onCall = [&](const FakeView::Call& c) {
        if (c.what == "message" && c.s1 == Text(TextId::DiagFinished)) {
            logsAtBox = serials("logs");
            uploadsAtBox = serials("uploads");
            reportsAtBox = service->reports().size();
        }
    };
    runToEnd();
    EXPECT_EQ(logsAtBox, std::vector<std::string>{"SN0001"});
    EXPECT_EQ(uploadsAtBox, std::vector<std::string>{"SN0001"});
    EXPECT_EQ(reportsAtBox, 0u); // the report goes out only after that
    EXPECT_EQ(service->reports().size(), 1u);
    EXPECT_EQ(serials("logs"), std::vector<std::string>{"SN0001"});
    EXPECT_TRUE(serials("uploads").empty());
    EXPECT_EQ(session->lastRun().stored, RecordStore::Stored);
}

// Closing the window (the session goes) or abandonReport (Ctrl-C) while the service sits on the report:
// the request ends at once, the run ends as finished and the record waits in uploads.
TEST_F(StoreFirst, AReportGivenUpLeavesTheRecordInUploads) {
    for (const bool closeWindow : {false, true}) {
        SCOPED_TRACE(closeWindow ? "window closed" : "abandonReport");
        std::filesystem::remove(dir.file("orvalog.db"));
        useService(sim::ReportMode::Slow, 30000);
        startSimulator();
        makeSession();
        session->setDeviceTemplate(only({17}));
        view.clear();
        ASSERT_TRUE(session->start(gatewayAddress(kStoreFirstSubnet)));
        ASSERT_TRUE(service->waitForReports(1, std::chrono::seconds(20)));
        const auto began = std::chrono::steady_clock::now();
        if (closeWindow) {
            session.reset();
        } else {
            EXPECT_TRUE(session->abandonReport());
            ASSERT_TRUE(session->waitForRunEnd(std::chrono::seconds(10)));
            EXPECT_EQ(session->lastRun().outcome, RunOutcome::Finished);
            EXPECT_EQ(view.outcomes(), std::vector<RunOutcome>{RunOutcome::Finished});
        }
        EXPECT_LT(std::chrono::steady_clock::now() - began, std::chrono::seconds(3));
        EXPECT_EQ(serials("logs"), std::vector<std::string>{"SN0001"});
        EXPECT_EQ(serials("uploads"), std::vector<std::string>{"SN0001"});
        sim->stop();
        service->stop();
    }
}

TEST_F(StoreFirst, AbandonReportDoesNothingBeforeTheLastCheck) {
    startSimulator();
    session->setDeviceTemplate(only({1}));
    view.holdPrompts = {WM_DIAG_LAN1_PROMPT};
    ASSERT_TRUE(session->start(gatewayAddress(kStoreFirstSubnet)));
    ASSERT_TRUE(waitFor([&] { return session->openPrompt().has_value(); }, std::chrono::seconds(10)));
    EXPECT_FALSE(session->abandonReport());
    EXPECT_TRUE(session->running());
    session->stop();
    ASSERT_TRUE(session->waitForRunEnd(std::chrono::seconds(10)));
    EXPECT_TRUE(serials("logs").empty());
}

struct OpenTestCase {
    const char* name;
    std::vector<int> items; // of the KT540G template
    int heldQuestion;       // the run is stopped while this question is open
    std::string start;      // the START that was open when the run stopped, "" for none
    std::string stop;       // the STOP that must follow it
    int potsStops;          // telephone STOPs the gateway gets in all (the run's own included)
    int uplinkStops;
};

class StoppedInsideATest : public StoreFirst, public ::testing::WithParamInterface<OpenTestCase> {};

// The gateway's journal shows the STOP after the START, once; nothing is stored. With the gateway silent
// to the STOP the run still ends within its short wait.
TEST_P(StoppedInsideATest, TheStopGoesOutAndNothingIsStored) {
    const OpenTestCase& c = GetParam();
    for (const bool silentStop : {false, true}) {
        if (silentStop && c.stop.empty())
            break;
        SCOPED_TRACE(silentStop ? "gateway silent to the STOP" : "gateway answers");
        std::vector<sim::Override> overrides;
        if (silentStop && !c.stop.empty()) {
            sim::Override o;
            o.prefix = c.stop;
            o.noReply = true;
            overrides.push_back(o);
        }
        startSimulator("KT540G", overrides);
        SetCurrentDeviceType("KT540G");
        makeSession();
        DeviceTemplate t = only({});
        for (int n : c.items)
            t.flags[static_cast<size_t>(n - 1)] = 1;
        session->setDeviceTemplate(t);
        view.clear();
        view.holdPrompts = {c.heldQuestion};
        ASSERT_TRUE(session->start(gatewayAddress(kStoreFirstSubnet)));
        ASSERT_TRUE(waitFor(
            [&] {
                const auto open = session->openPrompt();
                return open && open->questionId == c.heldQuestion;
            },
            std::chrono::seconds(20)));
        session->stop();
        EXPECT_FALSE(session->running());
        if (!c.stop.empty()) {
            EXPECT_TRUE(waitFor([&] { return countOf(c.stop) >= 1; }, std::chrono::seconds(5)));
            const auto commands = sim->commands();
            const auto started = std::find(commands.begin(), commands.end(), c.start);
            ASSERT_NE(started, commands.end());
            EXPECT_NE(std::find(started, commands.end(), c.stop), commands.end());
        }
        // The worker is done within the STOP's own wait, and sends nothing more.
        const auto began = std::chrono::steady_clock::now();
        session.reset();
        EXPECT_LT(std::chrono::steady_clock::now() - began, std::chrono::seconds(3));
        EXPECT_EQ(countOf(kPotsStop), c.potsStops);
        EXPECT_EQ(countOf(kUplinkStop), c.uplinkStops);
        EXPECT_TRUE(serials("logs").empty());
        EXPECT_TRUE(serials("uploads").empty());
        sim->stop();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Questions, StoppedInsideATest,
    ::testing::Values(OpenTestCase{"BeforeTheTelephoneStart", {1}, WM_DIAG_LAN1_PROMPT, "", "", 0, 0},
                      OpenTestCase{"RingPrompt", {5}, WM_DIAG_RING_PROMPT, kPotsStart, kPotsStop, 1, 0},
                      OpenTestCase{"CngJudgeOfPort2", {10}, WM_DIAG_CNG_JUDGE, kPotsStart, kPotsStop, 1, 0},
                      OpenTestCase{"LoopJudge", {11}, WM_DIAG_LOOP_JUDGE, kPotsStart, kPotsStop, 1, 0},
                      // The telephone test was closed in the run's own course before the uplink.
                      OpenTestCase{"UplinkPromptBeforeItsStart", {12}, WM_DIAG_UPLINK_PROMPT, "", "", 1, 0},
                      OpenTestCase{"OpticalReading", {12}, WM_DIAG_UPLINK_RESULT, kUplinkStart, kUplinkStop, 1, 1}),
    [](const auto& info) { return std::string(info.param.name); });

// Closing the window in the middle of the telephone test is a stop too.
TEST_F(StoreFirst, ClosingTheWindowInsideTheTelephoneTestSendsItsStop) {
    startSimulator();
    SetCurrentDeviceType("KT540G");
    session->setDeviceTemplate(only({5}));
    view.holdPrompts = {WM_DIAG_RING_JUDGE};
    ASSERT_TRUE(session->start(gatewayAddress(kStoreFirstSubnet)));
    ASSERT_TRUE(waitFor([&] { return session->openPrompt().has_value(); }, std::chrono::seconds(20)));
    session.reset();
    EXPECT_EQ(countOf(kPotsStop), 1);
    EXPECT_TRUE(serials("logs").empty());
}

// orvalog.db that cannot take a record: Start shows the store's text and sends nothing.
TEST_F(StoreFirst, StartIsRefusedWhenTheRecordCouldNotBeStored) {
    startSimulator();
    std::filesystem::create_directory(dir.file("orvalog.db"));
    view.clear();
    EXPECT_FALSE(session->start(gatewayAddress(kStoreFirstSubnet)));
    EXPECT_EQ(notifier.messages(), std::vector<std::string>{"SQLITE_CANTOPEN[14]: unable to open database file"});
    EXPECT_FALSE(session->running());
    EXPECT_FALSE(session->lastRun().started);
    EXPECT_TRUE(view.prompts().empty());
    EXPECT_TRUE(view.callsOf("clearItems").empty());
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_TRUE(sim->journal().empty());

    // Once the file is usable again the next Start runs.
    std::filesystem::remove(dir.file("orvalog.db"));
    session->setDeviceTemplate(only({17}));
    runToEnd();
    EXPECT_EQ(serials("logs"), std::vector<std::string>{"SN0001"});
}

} // namespace
} // namespace orva::test

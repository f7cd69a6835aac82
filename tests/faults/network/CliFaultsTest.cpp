// What a script sees from orva-cli when the gateway misbehaves: the run finishes, the exit code says
// whether checks failed, the JSON document is valid (also when the gateway sent bytes above 127) and
// the stored row matches it.
#include "core/records/RecordStore.h"
#include "core/web/LoginFile.h"

#include "HttpPeers.h"

#include "CliRunner.h"
#include "SimulatorPeers.h"
#include "TestSubnets.h"
#include "TestSupport.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <chrono>
#include <functional>

namespace orva::test {
namespace {

constexpr int kCliFaultsSubnet = orva::test::subnets::faults_cli::kCliFaults;

struct CliFault {
    std::string name;
    std::vector<sim::Override> overrides;
    int exitCode;
    std::string field;    // record field the fault shows in
    nlohmann::json value; // its value in the document and the stored row
};

sim::Override With(const std::string& prefix, const std::function<void(sim::Override&)>& set) {
    sim::Override o;
    o.prefix = prefix;
    set(o);
    return o;
}

class CliFaultsTest : public ::testing::Test {
protected:
    void SetUp() override { writeSettings({{"RunNet", "0"}}); }
    void writeSettings(const std::map<std::string, std::string>& extra) {
        dir.writeSettings(kCliFaultsSubnet, extra);
        writeFile(dir.file("res/device.ini"), "[DeviceName]\nList=KT540G\n[DeviceCount]\nCount=1\n[DeviceInfo]\n"
                                              "KT540G=1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1\n");
        ASSERT_TRUE(StartSimulator(sim, kCliFaultsSubnet, {.sn = "CLI0187"}));
    }
    void TearDown() override {
        if (sim)
            sim->stop();
    }

    CliOutcome diagnose() const {
        return RunCli({"--dir", dir.path(), "--user", "tech01", "--password", "pw", "diagnose", "--address",
                       gatewayAddress(kCliFaultsSubnet), "--model", "KT540G", "--answers", "yes", "--json",
                       "--reply-timeout", "1"});
    }

    int uploads() const {
        RecordStore store(dir.file("orvalog.db"));
        if (!store.open("uploads"))
            return -1;
        const int n = static_cast<int>(store.readUploads().rows.size());
        store.close();
        return n;
    }

    std::vector<StoredRecord> logs() const {
        RecordStore store(dir.file("orvalog.db"));
        if (!store.open("logs"))
            return {};
        auto rows = store.logsAfter(0);
        store.close();
        return rows;
    }

    TempProgramDir dir{"orva-faults-cli"};
    std::unique_ptr<sim::GatewaySimulator> sim;
};

TEST_F(CliFaultsTest, MisbehavingGatewayStillGivesAValidDocumentAndTheStoredRow) {
    const std::vector<CliFault> cases = {
        {"HighBytesInSoftwareVersion",
         {With("HG_SOFTWARE_DIAG STEP=1",
               [](auto& o) {
                   o.fields = {{"SOFTWAREVERSION", "V2-\xE9\xFF"}};
               })},
         0,
         "SoftWareVersionCheck",
         "V2-\xC3\xA9\xC3\xBF"},
        {"RandomBytesToLan2",
         {With("HG_HARDWARE_DIAG STEP=1 FENUM=2", [](auto& o) { o.payload = std::string("\x01\xFF\0=?", 5); })},
         1,
         "FE2Check",
         9},
        {"Over800BytesToWifi",
         {With("HG_HARDWARE_DIAG STEP=7",
               [](auto& o) { o.raw = "HG_HARDWARE_DIAG_SUCC STEP=7 WIFISTATUS=OK PAD=" + std::string(600, 'w'); })},
         1,
         "WifiCheck",
         0},
        {"LateReplyToFlash", {With("HG_HARDWARE_DIAG STEP=4", [](auto& o) { o.delayMs = 1500; })}, 1, "FlashCheck", 9},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        sim->setOverrides(c.overrides);
        const size_t before = logs().size();
        const CliOutcome o = diagnose();
        EXPECT_EQ(o.code, c.exitCode) << o.err;
        nlohmann::json doc;
        ASSERT_NO_THROW(doc = nlohmann::json::parse(o.out)) << o.out << o.err;
        EXPECT_EQ(doc["outcome"], "finished");
        EXPECT_EQ(doc["stored"], true);
        EXPECT_EQ(doc["record"][c.field], c.value);
        EXPECT_EQ(doc["record"]["sn"], "CLI0187");

        const auto rows = logs();
        ASSERT_EQ(rows.size(), before + 1);
        const DiagRecord& r = rows.back().record;
        const nlohmann::json stored = {{"SoftWareVersionCheck", r.SoftWareVersionCheck},
                                       {"FE2Check", r.FE2Check},
                                       {"WifiCheck", r.WifiCheck},
                                       {"FlashCheck", r.FlashCheck}};
        EXPECT_EQ(stored[c.field], c.value);
    }
}

TEST_F(CliFaultsTest, HangingServicesCostTheirTimeOutsAndKeepTheRecord) {
    // Login and reports both go to a service that accepts and never answers.
    BadHttpServer hanging(ServerFault::Hang, "");
    writeSettings({{"RunNet", "1"},
                   {"HttpTimeout", "2"},
                   {"LoginURL", hanging.url("/login")},
                   {"ReportURL", hanging.url("/report")}});
    ASSERT_TRUE(RememberCredentials(dir.file("res/login.xml"), "tech01", "pw"));

    const auto start = std::chrono::steady_clock::now();
    const CliOutcome o = diagnose();
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(o.code, 0) << o.err;
    nlohmann::json doc;
    ASSERT_NO_THROW(doc = nlohmann::json::parse(o.out)) << o.out << o.err;
    EXPECT_EQ(doc["stored"], true);
    EXPECT_EQ(logs().size(), 1u);
    EXPECT_EQ(uploads(), 1); // the service never took it
    EXPECT_GE(hanging.requests(), 2);
    // Offline login, the diagnosis and the unanswered report: bounded by the time-outs (generous slack).
    EXPECT_LT(took, std::chrono::seconds(60));
}

} // namespace
} // namespace orva::test

// orva.log that cannot be written (read-only, a directory) and a file-size limit that orva.log and
// orvalog.db run into: the diagnosis goes on to its end, the log loses lines but never the process, and
// a run whose record could not be stored is refused at Start, with the store's reason.
#include "ChildProcess.h"
#include "FaultSupport.h"

#include "SimulatorPeers.h"
#include "TestSubnets.h"
#include "TestSupport.h"
#include "core/records/RecordStore.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <functional>
#include <memory>
#include <regex>

namespace orva::test {
namespace {

constexpr int kSubnet = orva::test::subnets::faults_logfile::kLogFile;

struct LogCase {
    const char* name;
    std::function<bool(const TempProgramDir&, std::vector<std::unique_ptr<Immutable>>&)> prepare;
    long fileSizeLimit; // -1: none
    bool stored;        // the finished record reaches logs; false: the store refuses it, so the run never starts
    const char* said;   // what standard error must hold
};

class LogFileFaults : public ::testing::TestWithParam<LogCase> {
protected:
    void SetUp() override {
        dir.writeSettings(kSubnet, {{"RunNet", "0"}});
        ShipDeviceIni(dir.path());
        ASSERT_TRUE(StartSimulator(gateway, kSubnet, {.sn = "LOG-1"}));
    }
    void TearDown() override { gateway->stop(); }

    TempProgramDir dir{"orva-faults-log"};
    std::unique_ptr<sim::GatewaySimulator> gateway;
};

bool StoreOldRecord(const TempProgramDir& d) {
    RecordStore store(d.file("orvalog.db"));
    return store.open("logs") && store.insert("logs", {SampleRecord("OLD-1")}) == RecordStore::Stored;
}

TEST_P(LogFileFaults, OnlyWhatCouldNotBeWrittenIsLost) {
    const LogCase& c = GetParam();
    std::vector<std::unique_ptr<Immutable>> locks;
    if (!c.prepare(dir, locks))
        GTEST_SKIP() << "the immutable attribute cannot be set here";
    const bool hadOldRecord = std::filesystem::exists(dir.file("orvalog.db"));
    const std::string logPath = dir.file("orva.log");
    const std::string logBefore = std::filesystem::is_regular_file(logPath) ? readFile(logPath) : "";

    ChildOptions options;
    options.fileSizeLimit = c.fileSizeLimit;
    ChildProcess cli(CliPath(), DiagnoseArgs(dir.path(), gatewayAddress(kSubnet)), options);
    const ChildOutcome o = cli.finish();
    // A limit that is reached fails the write; it does not end the process with SIGXFSZ.
    EXPECT_EQ(o.signal, 0);
    EXPECT_EQ(o.code, c.stored ? 0 : 2) << o.err;
    EXPECT_TRUE(std::regex_search(o.err, std::regex(c.said))) << o.err;
    const auto doc = nlohmann::json::parse(o.out, nullptr, false);
    ASSERT_FALSE(doc.is_discarded()) << o.out;
    EXPECT_EQ(doc["completed"].get<bool>(), c.stored);
    EXPECT_EQ(doc["stored"].get<bool>(), c.stored);
    // A refused run sent nothing to the gateway.
    EXPECT_EQ(gateway->commands().empty(), !c.stored);
    locks.clear();

    const std::string db = dir.file("orvalog.db");
    std::vector<std::string> expected;
    if (hadOldRecord)
        expected.push_back("OLD-1");
    if (c.stored)
        expected.push_back("LOG-1");
    if (!expected.empty() || std::filesystem::exists(db)) {
        EXPECT_EQ(IntegrityCheck(db), "ok");
        EXPECT_EQ(SerialsIn(db, "logs"), expected);
    }
    if (c.fileSizeLimit >= 0 && std::filesystem::is_regular_file(logPath)) {
        EXPECT_LE(std::filesystem::file_size(logPath), static_cast<std::uintmax_t>(c.fileSizeLimit));
    }
    if (!logBefore.empty()) {
        EXPECT_EQ(readFile(logPath), logBefore);
    }
}

const char* kCannotOpenLog = "cannot open the log .*orva\\.log";
// The store's error as the technician sees it when Start finds that it could not store the record.
const char* kNotStored = "SQLITE_[A-Z_]+\\[[0-9]+\\]: [^\\n]+\\n";

INSTANTIATE_TEST_SUITE_P(
    Faults, LogFileFaults,
    ::testing::Values(LogCase{"LogIsReadOnly",
                              [](const TempProgramDir& d, auto& locks) {
                                  writeFile(d.file("orva.log"), "[LOGIN](2026-01-01 08:00:00):earlier run\r\n");
                                  locks.push_back(std::make_unique<Immutable>(d.file("orva.log")));
                                  return locks.back()->works();
                              },
                              -1, true, kCannotOpenLog},
                      LogCase{"LogIsADirectory",
                              [](const TempProgramDir& d, auto&) {
                                  return std::filesystem::create_directory(d.file("orva.log"));
                              },
                              -1, true, kCannotOpenLog},
                      LogCase{"LimitBelowOneDatabasePage", [](const TempProgramDir&, auto&) { return true; }, 3000,
                              false, kNotStored},
                      LogCase{"NothingMayBeWrittenToAnExistingDatabase",
                              [](const TempProgramDir& d, auto&) { return StoreOldRecord(d); }, 0, false, kNotStored}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace orva::test

// orva-cli station on a test line: the simulator as a process swapping units, the station as a process
// diagnosing each one, its JSON lines, its JUnit file as a dashboard's XML parser reads it, Ctrl-C.
#include "CliRunner.h"

#include "core/records/RecordStore.h"

#include "TestSubnets.h"
#include "TestSupport.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <signal.h>

#include <chrono>
#include <sstream>
#include <string>
#include <vector>

namespace orva::test {
namespace {

// What python3's xml.etree makes of a JUnit file: per suite its name, number of tests and the failure
// and error messages; the totals of <testsuites>.
constexpr const char* kReadJunit = R"py(
import json, sys, xml.etree.ElementTree as E
root = E.parse(sys.argv[1]).getroot()
suites = [{"name": s.get("name"), "tests": int(s.get("tests")),
           "failures": [f.get("message") for f in s.iter("failure")],
           "errors": [f.get("message") for f in s.iter("error")]} for s in root.iter("testsuite")]
print(json.dumps({"root": root.tag, "tests": int(root.get("tests")), "failures": int(root.get("failures")),
                  "suites": suites}))
)py";

class StationCliTest : public ::testing::Test {
protected:
    void prepare(int subnetN) {
        n = subnetN;
        dir.writeSettings(n, {{"RunNet", "0"}});
        writeFile(dir.file("res/device.ini"), readFile(std::string(ORVA_TEST_SOURCE_DIR) + "/res/device.ini"));
    }
    // The simulator as a process on the suite's subnet, once it said it listens.
    void startSimulator(std::vector<std::string> args) {
        args.insert(args.begin(), {"--address", gatewayAddress(n)});
        sim = std::make_unique<ChildProcess>(ORVA_SIM_PATH, args);
        ASSERT_TRUE(sim->waitForLines(1, 5000)) << sim->readFor(0);
    }
    std::unique_ptr<ChildProcess> station(const std::vector<std::string>& extra) const {
        std::vector<std::string> args = {"--dir",   dir.path(), "--user",    "tech01",          "--password", "pw",
                                         "station", "--answers", "yes",      "--reply-timeout", "1"};
        args.insert(args.end(), extra.begin(), extra.end());
        return std::make_unique<ChildProcess>(CliProgram(), args);
    }
    nlohmann::json readJunit(const std::string& path) const {
        ChildProcess python("/usr/bin/python3", {"-c", kReadJunit, path});
        const ChildOutcome o = python.finish();
        EXPECT_EQ(o.code, 0) << o.err << readFile(path);
        return nlohmann::json::parse(o.out, nullptr, false);
    }
    size_t storedRecords() const {
        if (!fileExists(dir.file("orvalog.db")))
            return 0;
        RecordStore store(dir.file("orvalog.db"));
        if (!store.open("logs"))
            return 0;
        const size_t count = store.logsAfter(0).size();
        store.close();
        return count;
    }
    void TearDown() override {
        if (sim) {
            sim->kill(SIGTERM);
            sim->finish();
        }
    }

    int n = 0;
    TempProgramDir dir{"orva-cli-station"};
    std::unique_ptr<ChildProcess> sim;
};

std::vector<nlohmann::json> JsonLines(const std::string& out) {
    std::vector<nlohmann::json> lines;
    std::istringstream in(out);
    for (std::string line; std::getline(in, line);)
        lines.push_back(nlohmann::json::parse(line, nullptr, false));
    return lines;
}

// Reads what the process says for the whole time (readFor returns at the first output).
void ListenFor(ChildProcess& child, std::chrono::milliseconds time) {
    const auto end = std::chrono::steady_clock::now() + time;
    for (auto now = std::chrono::steady_clock::now(); now < end; now = std::chrono::steady_clock::now())
        child.readFor(static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(end - now).count()) + 1);
}

size_t Count(const std::string& text, const std::string& part) {
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

// Three units, the second with a broken USB port: three verdicts in order, a JUnit file with that
// unit's failure and no other, every record stored, and Ctrl-C ends with the summary and exit 1.
TEST_F(StationCliTest, ThreeSwappedUnitsOneFaulty) {
    prepare(subnets::cli::kStation);
    startSimulator({"--units", "ST-A1,ST-B2,ST-C3", "--swap-after", "6", "--swap-gap", "2.5", "--override",
                    "HG_HARDWARE_DIAG STEP=6", "unit=2", "status=HG_HARDWARE_DIAG_FAIL"});
    const std::string junit = dir.file("station.xml");
    auto cli = station({"--json", "--junit", junit});
    const bool three = cli->waitForLines(3, 15000);
    cli->kill(SIGINT);
    const ChildOutcome o = cli->finish();
    ASSERT_TRUE(three) << o.out << o.err;

    EXPECT_EQ(o.code, 1) << o.err;
    const std::vector<nlohmann::json> lines = JsonLines(o.out);
    ASSERT_EQ(lines.size(), 3u) << o.out;
    const std::vector<std::string> serials = {"ST-A1", "ST-B2", "ST-C3"};
    std::string usbName, usbFault;
    for (size_t i = 0; i < lines.size(); ++i) {
        const nlohmann::json& line = lines[i];
        SCOPED_TRACE(serials[i]);
        ASSERT_TRUE(line.is_object()) << o.out;
        EXPECT_EQ(line["unit"], i + 1);
        EXPECT_EQ(line["sn"], serials[i]);
        EXPECT_EQ(line["model"], "KT540G");
        EXPECT_EQ(line["outcome"], "finished");
        EXPECT_EQ(line["checks"], 22);
        EXPECT_EQ(line["stored"], true);
        EXPECT_GT(line["seconds"].get<double>(), 0.0);
        EXPECT_TRUE(line.contains("mac"));
        if (i == 1) {
            EXPECT_EQ(line["verdict"], "failed");
            ASSERT_EQ(line["failed"].size(), 1u) << line.dump();
            EXPECT_EQ(line["failed"][0]["number"], 15);
            usbName = line["failed"][0]["name"];
            usbFault = line["failed"][0]["fault"];
            EXPECT_FALSE(usbFault.empty());
        } else {
            EXPECT_EQ(line["verdict"], "passed");
            EXPECT_TRUE(line["failed"].empty()) << line.dump();
        }
    }

    // The summary, and one waiting line per wait rather than one per probe.
    EXPECT_NE(o.err.find("station: 3 units, 2 passed, 1 failed\n"), std::string::npos) << o.err;
    EXPECT_NE(o.err.find("15. " + usbName + ": failed on 1 unit\n"), std::string::npos) << o.err;
    EXPECT_NE(o.err.find("mean time per unit: "), std::string::npos) << o.err;
    EXPECT_NE(o.err.find("ST-B2: failed: " + usbName + " (" + usbFault + ")"), std::string::npos) << o.err;
    const size_t waits = Count(o.err, "waiting for a unit at " + gatewayAddress(n));
    EXPECT_GE(waits, 3u) << o.err;
    EXPECT_LE(waits, 4u) << o.err;
    EXPECT_EQ(Count(o.err, " is gone\n"), waits - 1) << o.err;
    EXPECT_EQ(storedRecords(), 3u);

    const nlohmann::json read = readJunit(junit);
    ASSERT_TRUE(read.is_object());
    EXPECT_EQ(read["root"], "testsuites");
    EXPECT_EQ(read["tests"], 66);
    EXPECT_EQ(read["failures"], 1);
    ASSERT_EQ(read["suites"].size(), 3u) << read.dump();
    for (size_t i = 0; i < 3; ++i) {
        const nlohmann::json& suite = read["suites"][i];
        EXPECT_EQ(suite["name"], serials[i]);
        EXPECT_EQ(suite["tests"], 22);
        EXPECT_TRUE(suite["errors"].empty());
        EXPECT_EQ(suite["failures"], i == 1 ? nlohmann::json::array({usbFault}) : nlohmann::json::array());
    }
    EXPECT_FALSE(fileExists(junit + ".tmp"));
}

// A serial number made to break XML (and one byte that is no UTF-8) reaches the JUnit file escaped and
// the JSON line as valid UTF-8; one unit that passed ends with 0.
TEST_F(StationCliTest, HostileSerialNumberIsEscaped) {
    prepare(subnets::cli::kStationHostile);
    startSimulator({"--units", "H<&\"'>\xff" "9", "--swap-after", "6"});
    const std::string junit = dir.file("hostile.xml");
    auto cli = station({"--json", "--junit", junit});
    const bool one = cli->waitForLines(1, 12000);
    cli->kill(SIGTERM);
    const ChildOutcome o = cli->finish();
    ASSERT_TRUE(one) << o.out << o.err;
    EXPECT_EQ(o.code, 0) << o.err;

    // The byte that is no UTF-8 comes out as the session reads it, as a character of its own.
    const std::vector<nlohmann::json> lines = JsonLines(o.out);
    ASSERT_EQ(lines.size(), 1u) << o.out;
    ASSERT_TRUE(lines[0].is_object()) << o.out; // parsed, so valid UTF-8
    const std::string shown = lines[0]["sn"];
    EXPECT_TRUE(shown.starts_with("H<&\"'>") && shown.ends_with("9") && shown.size() > 8) << shown;
    EXPECT_EQ(shown.find('\xff'), std::string::npos);
    EXPECT_EQ(lines[0]["verdict"], "passed");

    const std::string file = readFile(junit);
    EXPECT_NE(file.find("<testsuite name=\"H&lt;&amp;&quot;&apos;&gt;" + shown.substr(6) + "\""), std::string::npos)
        << file;
    const nlohmann::json read = readJunit(junit);
    ASSERT_TRUE(read.is_object()) << file;
    ASSERT_EQ(read["suites"].size(), 1u);
    EXPECT_EQ(read["suites"][0]["name"], shown);
    EXPECT_TRUE(read["suites"][0]["failures"].empty());
    EXPECT_NE(o.err.find("station: 1 unit, 1 passed, 0 failed\n"), std::string::npos) << o.err;
}

// Ctrl-C in the middle of a unit's run stops it as diagnose's Ctrl-C does: nothing stored, the unit
// not counted; and a station that diagnosed nobody ends with 2 and an empty, valid JUnit file.
TEST_F(StationCliTest, CtrlCStopsARunInProgress) {
    prepare(subnets::cli::kStationHostile);
    startSimulator({"--units", "MID-RUN", "--swap-after", "8"});
    const std::string junit = dir.file("stopped.xml");
    auto cli = station({"--junit", junit});
    const bool started = cli->waitForLines(1, 8000); // "unit 1: MID-RUN"
    ListenFor(*cli, std::chrono::milliseconds(1000));
    cli->kill(SIGINT);
    const ChildOutcome o = cli->finish();
    ASSERT_TRUE(started) << o.out << o.err;
    EXPECT_EQ(o.code, 2) << o.out << o.err;
    EXPECT_NE(o.out.find("unit 1: MID-RUN\n"), std::string::npos) << o.out;
    EXPECT_EQ(o.out.find("磁盘完整性"), std::string::npos) << o.out; // the last check never ran
    EXPECT_NE(o.err.find("the run of MID-RUN was stopped; it is not counted"), std::string::npos) << o.err;
    EXPECT_NE(o.out.find("station: 0 units, 0 passed, 0 failed\n"), std::string::npos) << o.out;
    EXPECT_EQ(storedRecords(), 0u);
    const nlohmann::json read = readJunit(junit);
    ASSERT_TRUE(read.is_object());
    EXPECT_EQ(read["tests"], 0);
    EXPECT_TRUE(read["suites"].empty());
}

// A unit still starting answers CONNECT but not yet the identity query: the station asks again rather
// than counting it as an undiagnosed unit, and diagnoses it once, when it tells who it is.
TEST_F(StationCliTest, AUnitThatHasNotToldItsModelYetIsAskedAgainNotCountedTwice) {
    prepare(subnets::cli::kStation);
    startSimulator({"--units", "BOOT-1,BOOT-1", "--swap-after", "6", "--swap-gap", "0", "--override",
                    "QUERY_SYSTEM_INFO", "unit=1", "no-reply"});
    auto cli = station({"--json"});
    const bool one = cli->waitForLines(1, 20000);
    cli->kill(SIGINT);
    const ChildOutcome o = cli->finish();
    ASSERT_TRUE(one) << o.out << o.err;
    EXPECT_EQ(o.code, 0) << o.err;
    const std::vector<nlohmann::json> lines = JsonLines(o.out);
    ASSERT_EQ(lines.size(), 1u) << o.out;
    ASSERT_TRUE(lines[0].is_object()) << o.out;
    EXPECT_EQ(lines[0]["unit"], 1);
    EXPECT_EQ(lines[0]["sn"], "BOOT-1");
    EXPECT_EQ(lines[0]["verdict"], "passed");
    EXPECT_EQ(Count(o.err, "a unit answers at " + gatewayAddress(n) + " but has not told its model yet"), 1u) << o.err;
    EXPECT_NE(o.err.find("station: 1 unit, 1 passed, 0 failed\n"), std::string::npos) << o.err;
}

// Nobody answers: one waiting line however long it waits; Ctrl-C ends with 2.
TEST_F(StationCliTest, WaitsQuietlyWhileNoUnitAnswers) {
    prepare(subnets::cli::kNoGateway);
    auto cli = station({});
    ListenFor(*cli, std::chrono::milliseconds(3500));
    cli->kill(SIGINT);
    const ChildOutcome o = cli->finish();
    EXPECT_EQ(o.code, 2) << o.err;
    EXPECT_EQ(Count(o.err, "waiting for a unit at " + gatewayAddress(n)), 1u) << o.err;
    EXPECT_NE(o.out.find("station: 0 units, 0 passed, 0 failed\n"), std::string::npos) << o.out;
}

} // namespace
} // namespace orva::test

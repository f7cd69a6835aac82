// orva-cli as a script would run it: exit codes, printed lines, the JSON document, what it stores.
#include "core/app/InstanceGuard.h"
#include "core/app/ProgramDirectory.h"
#include "core/records/RecordStore.h"

#include "CliRunner.h"
#include "SimulatorPeers.h"
#include "TestSubnets.h"
#include "TestSupport.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <thread>

extern char** environ;

namespace orva::test {
namespace {

constexpr int kCliSubnet = orva::test::subnets::cli::kDiagnose;
// No simulator ever listens here.
constexpr int kEmptySubnet = orva::test::subnets::cli::kNoGateway;

// The same runner as the maintenance commands' tests.
using Outcome = CliOutcome;
using CliProcess = CliRunner;

class CliTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir.writeSettings(kCliSubnet, {{"RunNet", "0"}});
        writeFile(dir.file("res/device.ini"), readFile(std::string(ORVA_TEST_SOURCE_DIR) + "/res/device.ini"));
    }
    void TearDown() override {
        if (sim)
            sim->stop();
    }
    void startSimulator(const std::string& model = "KT540G", std::vector<sim::Override> overrides = {}) {
        ASSERT_TRUE(
            StartSimulator(sim, kCliSubnet, {.model = model, .sn = "CLI0001", .overrides = std::move(overrides)}));
    }
    std::vector<std::string> diagnose(std::vector<std::string> extra) const {
        std::vector<std::string> args = {"--dir", dir.path(), "--user",          "tech01", "--password",
                                         "pw",    "diagnose", "--reply-timeout", "1"};
        args.insert(args.end(), extra.begin(), extra.end());
        return args;
    }
    Outcome run(const std::vector<std::string>& args, const std::vector<std::string>& env = {}) const {
        CliProcess p(args, env);
        return p.finish();
    }
    std::vector<StoredRecord> rows(const std::string& table) const {
        if (!fileExists(dir.file("orvalog.db")))
            return {};
        RecordStore store(dir.file("orvalog.db"));
        if (!store.open(table))
            return {};
        std::vector<StoredRecord> out;
        if (table == "logs") {
            out = store.logsAfter(0);
        } else {
            for (const auto& row : store.readUploads().rows)
                out.push_back(RecordFromRow(row));
        }
        store.close();
        return out;
    }

    TempProgramDir dir{"orva-cli"};
    std::unique_ptr<sim::GatewaySimulator> sim;
};

sim::Override Status(const std::string& prefix, const std::string& status) {
    sim::Override o;
    o.prefix = prefix;
    o.status = status;
    return o;
}

TEST_F(CliTest, ExitCodesOfADiagnosis) {
    struct Case {
        std::string name;
        std::string model; // the simulated gateway's; empty: no gateway
        std::vector<sim::Override> overrides;
        std::vector<std::string> args;
        int code;
        std::string printed; // a line part the output must hold
    };
    const std::vector<Case> cases = {
        {"AllPassed", "KT540G", {}, {"--model", "KT540G", "--answers", "yes"}, 0, "22. 磁盘完整性: 成功"},
        {"Faults", "KT540G", {}, {"--answers", "ring1=no,led=no"}, 1, "  POST1响铃 不正常"},
        {"ConnectionError",
         "",
         {},
         {"--model", "KT540G", "--answers", "yes", "--address", gatewayAddress(kEmptySubnet)},
         2,
         "连接状态: 连接错误"},
        {"ModelMismatch",
         "KT593G",
         {},
         {"--model", "KT540G", "--answers", "yes"},
         2,
         "选择检测设备类型与当前连接设备类型不一致，请重新设置！"},
        {"TelephoneStartRefused",
         "KT540G",
         {Status("HG_HARDWARE_DIAG STEP=2 METHOD=START", "HG_HARDWARE_DIAG_FAIL")},
         {"--answers", "yes"},
         2,
         "POST开始测试: 失败"},
        {"NoTerminalNoAnswers", "KT540G", {}, {}, 64, "no terminal"},
        {"BadAnswers", "KT540G", {}, {"--answers", "ring3=no"}, 64, "bad answer"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (!c.model.empty())
            startSimulator(c.model, c.overrides);
        Outcome o = run(diagnose(c.args));
        EXPECT_EQ(o.code, c.code) << o.out << o.err;
        EXPECT_NE((o.out + o.err).find(c.printed), std::string::npos) << o.out << o.err;
        if (sim) {
            sim->stop();
            sim.reset();
        }
    }
    // Only the two finished runs were stored.
    EXPECT_EQ(rows("logs").size(), 2u);
}

TEST_F(CliTest, JsonDocumentOfAFinishedRun) {
    startSimulator("KT310");
    Outcome o = run(diagnose({"--model", "KT310", "--answers", "loop=no", "--json"}));
    ASSERT_EQ(o.code, 1) << o.err;
    nlohmann::json doc = nlohmann::json::parse(o.out);
    EXPECT_TRUE(doc["completed"].get<bool>());
    EXPECT_EQ(doc["outcome"], "finished");
    EXPECT_EQ(doc["model"], "KT310");
    EXPECT_EQ(doc["identity"]["serial"], "CLI0001");
    EXPECT_EQ(doc["identity"]["productClass"], "KT310");
    // KT310 ships without the USB check.
    ASSERT_EQ(doc["items"].size(), 21u);
    EXPECT_EQ(doc["items"][0]["number"], 1);
    EXPECT_EQ(doc["items"][0]["name"], "第一个LAN1口测试");
    EXPECT_EQ(doc["items"][0]["mark"], "√");
    EXPECT_EQ(doc["items"][10]["name"], "LOOP测试");
    EXPECT_EQ(doc["items"][10]["mark"], "X");
    EXPECT_EQ(doc["items"][20]["mark"], "OK");
    EXPECT_EQ(doc["faults"], nlohmann::json::array({"POST loop 不正常"}));
    EXPECT_EQ(doc["record"]["Operator"], "tech01");
    EXPECT_EQ(doc["record"]["sn"], "CLI0001");
    EXPECT_EQ(doc["record"]["USBCheck"], 9);
    EXPECT_EQ(doc["record"]["PONCheck"], 1);
    EXPECT_EQ(doc["record"]["CPULoadCheck"], 12.0);
    // One key per column the record holds; the id and datetime are the store's, not the record's.
    std::vector<std::string> recordKeys;
    for (const auto& item : doc["record"].items())
        recordKeys.push_back(item.key());
    std::vector<std::string> recordColumns(RecordColumnNames().begin() + 1, RecordColumnNames().end() - 1);
    std::sort(recordKeys.begin(), recordKeys.end());
    std::sort(recordColumns.begin(), recordColumns.end());
    EXPECT_EQ(recordKeys, recordColumns);
    EXPECT_TRUE(doc["stored"].get<bool>());
    // With the network off the report is kept for the next upload pass, and the row is in logs.
    auto logs = rows("logs");
    ASSERT_EQ(logs.size(), 1u);
    EXPECT_EQ(logs[0].record.DeviceType, "KT310");
    EXPECT_EQ(rows("uploads").size(), 1u);

    // The upload pass alone: the service is off, so the row stays.
    Outcome up = run({"--dir", dir.path(), "--user", "tech01", "--password", "pw", "upload"});
    EXPECT_EQ(up.code, 1) << up.err;
    EXPECT_NE(up.out.find("1 stored records, 0 accepted, 1 kept\n"
                          "kept because reports are switched off (RunNet=0 in setting.ini)"),
              std::string::npos)
        << up.out;
    EXPECT_EQ(rows("uploads").size(), 1u);
}

TEST_F(CliTest, InterruptStopsTheRunAndStoresNothing) {
    sim::Override slow;
    slow.prefix = "HG_HARDWARE_DIAG STEP=4";
    slow.delayMs = 800; // inside the reply time-out: the exchange is under way when Ctrl-C comes
    startSimulator("KT540G", {slow});
    CliProcess p(diagnose({"--answers", "yes"}));
    // Wait until the flash command has reached the gateway.
    bool reached = false;
    for (int i = 0; i < 600 && !reached; ++i) {
        for (const auto& c : sim->commands())
            reached = reached || c == "HG_HARDWARE_DIAG STEP=4";
        if (!reached)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    ASSERT_TRUE(reached);
    p.signal(SIGINT);
    Outcome o = p.finish();
    EXPECT_EQ(o.code, 2) << o.out << o.err;
    EXPECT_NE(o.out.find("已经中止当前检测"), std::string::npos) << o.out;
    EXPECT_EQ(o.out.find("诊断完毕"), std::string::npos);
    EXPECT_TRUE(rows("logs").empty());
    EXPECT_TRUE(rows("uploads").empty());
}

TEST_F(CliTest, StartUpRefusals) {
    // Another copy holds the program directory.
    {
        InstanceGuard guard(dir.path());
        ASSERT_TRUE(guard.acquired());
        Outcome o = run(diagnose({"--answers", "yes"}));
        EXPECT_EQ(o.code, 75) << o.err;
        EXPECT_NE(o.err.find("another copy"), std::string::npos) << o.err;
    }
    // No user name: the login fails before anything is sent to a gateway.
    {
        Outcome o = run({"--dir", dir.path(), "diagnose", "--answers", "yes"});
        EXPECT_EQ(o.code, 77) << o.err;
        EXPECT_NE(o.err.find("login failed"), std::string::npos) << o.err;
    }
    // The user may come from the environment instead (then the gateway is missing: not finished).
    {
        Outcome o = run({"--dir", dir.path(), "diagnose", "--answers", "yes", "--reply-timeout", "1"},
                        {"ORVA_USER=envtech", "ORVA_PASSWORD=pw"});
        EXPECT_EQ(o.code, 2) << o.err;
    }
}

// Without setting.ini no command does anything (identify would otherwise talk to the built-in gateway
// address): the message, and EX_CONFIG so that a script does not take it for success.
TEST_F(CliTest, EveryCommandEndsWithoutSettings) {
    const std::vector<std::vector<std::string>> commands = {
        {"identify"}, {"diagnose", "--answers", "yes"},    {"upload"},
        {"restore"},  {"upgrade", "--image", "/dev/null"}, {"logs"},
    };
    for (const auto& command : commands) {
        SCOPED_TRACE(command[0]);
        TempProgramDir empty("orva-cli-empty");
        std::vector<std::string> args = {"--dir", empty.path(), "--user", "u", "--password", "p"};
        args.insert(args.end(), command.begin(), command.end());
        Outcome o = run(args);
        EXPECT_EQ(o.code, 78) << o.err;
        EXPECT_EQ(o.err, "setting.ini is missing!\n");
        EXPECT_EQ(o.out, "");
        // Nothing was started: no lock, no log, no database.
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(empty.path()))
            names.push_back(e.path().filename().string());
        EXPECT_EQ(names, std::vector<std::string>{"res"});
    }
}

// Names planted in the program directory as symlinks are not followed: the log is refused (and said so),
// an older tool's temporary of the login list stays as it is, and the list is rewritten for its owner.
TEST_F(CliTest, PlantedSymlinksAreNotFollowed) {
    const std::string logVictim = dir.file("log-victim.txt");
    const std::string listVictim = dir.file("list-victim.txt");
    writeFile(logVictim, "keep the log victim");
    writeFile(listVictim, "keep the list victim");
    ASSERT_EQ(symlink(logVictim.c_str(), dir.file("orva.log").c_str()), 0);
    ASSERT_EQ(symlink(listVictim.c_str(), dir.file("res/login.xml.new").c_str()), 0);

    Outcome o = run({"--dir", dir.path(), "--user", "tech01", "--password", "pw", "logs"});
    EXPECT_EQ(o.code, 0) << o.err;
    EXPECT_NE(o.err.find("orva-cli: cannot open the log " + dir.file("orva.log")), std::string::npos) << o.err;
    EXPECT_EQ(readFile(logVictim), "keep the log victim");
    EXPECT_EQ(readFile(listVictim), "keep the list victim");
    struct stat st {};
    ASSERT_EQ(lstat(dir.file("orva.log").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    ASSERT_EQ(lstat(dir.file("res/login.xml.new").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    // The online login (the canned reply: RunNet is 0) wrote the list, readable by its owner only.
    ASSERT_EQ(lstat(dir.file("res/login.xml").c_str(), &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode));
    EXPECT_EQ(st.st_mode & 07777, 0600u);
    EXPECT_NE(readFile(dir.file("res/login.xml")).find("<Login>"), std::string::npos);
}

TEST_F(CliTest, Identify) {
    startSimulator("KT593G");
    Outcome o = run({"--dir", dir.path(), "identify"});
    EXPECT_EQ(o.code, 0) << o.err;
    EXPECT_NE(o.out.find("STATUS=CONNECT_SUCC"), std::string::npos) << o.out;
    EXPECT_NE(o.out.find("PRODUCTCLASS=KT593G"), std::string::npos) << o.out;
    EXPECT_NE(o.out.find("DEVTYPE=CLI0001"), std::string::npos) << o.out;
    std::vector<std::pair<int, std::string>> sent;
    for (const auto& e : sim->journal())
        sent.emplace_back(e.port, e.command);
    EXPECT_EQ(sent, (std::vector<std::pair<int, std::string>>{{7998, "CONNECT"}, {7998, "QUERY_SYSTEM_INFO"}}));

    sim->addOverride([] {
        sim::Override o;
        o.prefix = "QUERY_SYSTEM_INFO";
        o.drop = {"CPUCLASS"};
        return o;
    }());
    Outcome partial = run({"--dir", dir.path(), "identify"});
    EXPECT_EQ(partial.code, 2) << partial.out;
    EXPECT_NE(partial.out.find("identity not read"), std::string::npos) << partial.out;
}

} // namespace
} // namespace orva::test

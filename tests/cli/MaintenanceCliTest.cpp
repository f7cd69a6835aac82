// orva-cli restore, upgrade and logs as a script runs them: printed lines, counts, exit codes.
#include "CliRunner.h"

#include "core/records/RecordStore.h"

#include "SimulatorPeers.h"
#include "TestSubnets.h"
#include "TestSupport.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <future>
#include <set>
#include <sstream>

namespace orva::test {
namespace {

constexpr int kRestoreSubnet = orva::test::subnets::cli::kRestore;
constexpr int kUpgradeSubnet = orva::test::subnets::cli::kUpgrade;
constexpr int kMissingImageSubnet = orva::test::subnets::cli::kMissingImage;
constexpr int kLogsSubnet = orva::test::subnets::cli::kLogs;
constexpr int kCancelSubnet = orva::test::subnets::cli::kCancel;
constexpr int kCrowdSubnet = orva::test::subnets::cli::kCrowd;
constexpr int kNoGatewaySubnet = orva::test::subnets::cli::kNoGateway;

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

bool StartsWith(const std::string& text, const std::string& prefix) {
    return text.rfind(prefix, 0) == 0;
}

class MaintenanceCli {
protected:
    void prepare(int subnetN) {
        subnet_ = subnetN;
        dir.writeSettings(
            subnetN,
            {{"resetlistentime", "1"}, {"updatelistentime", "1"}, {"waittime", "0"}, {"upgradeinterval", "0.0005"}});
    }
    void startSimulator(int gateways, std::vector<sim::Override> overrides = {}) {
        ASSERT_TRUE(
            StartSimulator(sim, subnet_, {.gateways = gateways, .sn = "GW", .overrides = std::move(overrides)}));
    }
    std::vector<std::string> command(const std::vector<std::string>& words) const {
        std::vector<std::string> args = {"--dir", dir.path(), "--user", "tech01", "--password", "pw"};
        args.insert(args.end(), words.begin(), words.end());
        return args;
    }

    TempProgramDir dir{"orva-cli-maint"};
    std::unique_ptr<sim::GatewaySimulator> sim;
    int subnet_ = 0;
};

class RestoreCliTest : public MaintenanceCli, public ::testing::Test {
protected:
    void SetUp() override { prepare(kRestoreSubnet); }
    void TearDown() override {
        if (sim)
            sim->stop();
    }
};

TEST_F(RestoreCliTest, OneLinePerGatewayInArrivalOrderThenTheCount) {
    sim::Override failure;
    failure.prefix = "HG_REVOCERY_PRECONFIG";
    failure.gateway = 2;
    failure.status = "HG_REVOCERY_PRECONFIG_FAIL";
    failure.drop = {"SN"};
    startSimulator(2, {failure});

    const CliOutcome r = RunCli(command({"restore", "--yes", "--reply-timeout", "1"}));
    EXPECT_EQ(r.code, 1) << r.out << r.err;
    const std::vector<std::string> lines = Lines(r.out);
    ASSERT_EQ(lines.size(), 3u) << r.out;
    EXPECT_TRUE(StartsWith(lines[0], "SN = GW，网关恢复出厂设置成功。日期：")) << lines[0];
    EXPECT_TRUE(StartsWith(lines[1], "网关恢复出厂设置失败。日期：")) << lines[1];
    EXPECT_EQ(lines[2], "2 gateways answered: 1 restored, 1 failed");
    // The command went to the segment, not to the one gateway.
    bool broadcast = false;
    for (const auto& e : sim->journal())
        broadcast |= e.command == "HG_REVOCERY_PRECONFIG" && e.destination == subnet(kRestoreSubnet) + "255";
    EXPECT_TRUE(broadcast);
}

TEST_F(RestoreCliTest, ExitCodeSaysWhetherEveryGatewayWasRestored) {
    struct Case {
        std::string name;
        bool gateway; // a simulator answers on the segment
        int code;
        std::string summary;
    };
    const std::vector<Case> cases = {
        {"AllRestored", true, 0, "1 gateways answered: 1 restored, 0 failed"},
        {"NoneAnswered", false, 2, "0 gateways answered: 0 restored, 0 failed"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.gateway)
            startSimulator(1);
        const CliOutcome r = RunCli(command({"restore", "--yes", "--reply-timeout", "1"}));
        EXPECT_EQ(r.code, c.code) << r.out << r.err;
        ASSERT_FALSE(Lines(r.out).empty());
        EXPECT_EQ(Lines(r.out).back(), c.summary);
        if (sim) {
            sim->stop();
            sim.reset();
        }
    }
}

// A segment of 1,100 gateways: the first 1,024 get a line each, one line says how many more answered,
// and the count is of every gateway, shown or not.
TEST_F(RestoreCliTest, ThousandsOfGatewaysGiveCappedLinesAndTheFullCount) {
    prepare(kCrowdSubnet);
    sim::Override failure;
    failure.prefix = "HG_REVOCERY_PRECONFIG";
    failure.gateway = 1100; // the last, among the gateways without a line of their own
    failure.status = "HG_REVOCERY_PRECONFIG_FAIL";
    startSimulator(1100, {failure});

    const CliOutcome r = RunCli(command({"restore", "--yes", "--reply-timeout", "1"}));
    EXPECT_EQ(r.code, 1) << r.err;
    const std::vector<std::string> lines = Lines(r.out);
    ASSERT_EQ(lines.size(), 1024u + 2u);
    std::set<std::string> serials;
    for (size_t i = 0; i < 1024; ++i) {
        EXPECT_TRUE(StartsWith(lines[i], "SN = GW")) << lines[i];
        serials.insert(lines[i].substr(5, lines[i].find("，") - 5));
    }
    EXPECT_EQ(serials.size(), 1024u);
    EXPECT_EQ(lines[1024], "另有76个网关应答，结果未逐条列出。");
    EXPECT_EQ(lines[1025], "1100 gateways answered: 1099 restored, 1 failed");
}

class UpgradeCliTest : public MaintenanceCli, public ::testing::Test {
protected:
    void TearDown() override {
        if (sim)
            sim->stop();
    }
    std::string writeImage(size_t size) const {
        std::string image(size, '\0');
        for (size_t i = 0; i < size; ++i)
            image[i] = static_cast<char>(i * 7 + 3);
        const std::string path = dir.file("image.bin");
        writeFile(path, image);
        return path;
    }
};

TEST_F(UpgradeCliTest, EveryGatewayReportsItsUpgrade) {
    prepare(kUpgradeSubnet);
    startSimulator(3);
    const std::string image = writeImage(5500);
    const CliOutcome r = RunCli(command({"upgrade", "--image", image}));
    EXPECT_EQ(r.code, 0) << r.out << r.err;
    EXPECT_EQ(sim->upgradeImage(), readFile(image));

    const std::vector<std::string> lines = Lines(r.out);
    std::vector<std::string> results;
    bool percentLine = false;
    for (const auto& l : lines) {
        if (StartsWith(l, "SN = "))
            results.push_back(l);
        percentLine |= !l.empty() && l.back() == '%' && l.find('[') == std::string::npos;
    }
    EXPECT_TRUE(percentLine) << "a pipe gets plain percentage lines\n" << r.out;
    ASSERT_EQ(results.size(), 3u) << r.out;
    std::vector<std::string> serials;
    for (const auto& l : results) {
        EXPECT_NE(l.find("，升级成功. 软件编译日期：20240115.软件升级日期："), std::string::npos) << l;
        serials.push_back(l.substr(5, l.find("，") - 5));
    }
    std::sort(serials.begin(), serials.end());
    EXPECT_EQ(serials, (std::vector<std::string>{"GW", "GW-2", "GW-3"}));
    EXPECT_EQ(lines.back(), "3 gateways answered: 3 upgraded, 0 failed, 0 unknown") << r.out;
}

// The closing count tells an unknown state from an upgrade, and says so when nobody answered.
TEST_F(UpgradeCliTest, TheSummaryCountsEachState) {
    prepare(kUpgradeSubnet);
    sim::Override unknown;
    unknown.prefix = "QUERY_UPGRADE_MSG";
    unknown.gateway = 2;
    unknown.status = "UPGRADE_UNKNOWN";
    startSimulator(2, {unknown});
    const CliOutcome r = RunCli(command({"upgrade", "--image", writeImage(1200)}));
    EXPECT_EQ(r.code, 1) << r.out << r.err;
    EXPECT_EQ(Lines(r.out).back(), "2 gateways answered: 1 upgraded, 0 failed, 1 unknown") << r.out;
    sim->stop();
    sim.reset();

    prepare(kNoGatewaySubnet);
    const CliOutcome none = RunCli(command({"upgrade", "--image", writeImage(1200)}));
    EXPECT_EQ(none.code, 2) << none.out << none.err;
    const std::vector<std::string> lines = Lines(none.out);
    ASSERT_GE(lines.size(), 2u) << none.out;
    EXPECT_EQ(lines[lines.size() - 2], "0 gateways answered: 0 upgraded, 0 failed, 0 unknown");
    EXPECT_EQ(lines.back(), "no gateway answered the upgrade check at " + subnet(kNoGatewaySubnet) + "255");
}

TEST_F(UpgradeCliTest, AnImageThatCannotBeReadIsReportedAndNothingIsSent) {
    prepare(kMissingImageSubnet);
    startSimulator(1);
    std::filesystem::create_directories(dir.file("a-directory"));
    // Not images either, and none of them may be waited on: a FIFO without a writer, a device that never
    // ends, an empty file, a /proc file that says 0 bytes.
    ASSERT_EQ(::mkfifo(dir.file("image.fifo").c_str(), 0600), 0);
    writeFile(dir.file("empty.bin"), "");
    const std::vector<std::string> images = {dir.file("no-such-image.bin"),
                                             dir.file("a-directory"),
                                             dir.file("image.fifo"),
                                             dir.file("empty.bin"),
                                             "/dev/zero",
                                             "/dev/null",
                                             "/proc/self/status"};
    for (const auto& image : images) {
        SCOPED_TRACE(image);
        auto run = std::async(std::launch::async, [&] { return RunCli(command({"upgrade", "--image", image})); });
        if (run.wait_for(std::chrono::seconds(20)) != std::future_status::ready) {
            ADD_FAILURE() << "orva-cli still waits on " << image;
            const int writer = ::open(image.c_str(), O_WRONLY | O_NONBLOCK); // lets a blocked open return
            if (writer >= 0)
                ::close(writer);
        }
        const CliOutcome r = run.get();
        EXPECT_EQ(r.code, 2) << r.out << r.err;
        EXPECT_NE(r.err.find("Batch upgrade: "), std::string::npos) << r.err;
        EXPECT_NE(r.err.find(image), std::string::npos) << r.err;
        // Said once, and no progress figure for a transfer that never began.
        EXPECT_EQ(r.err.find("Batch upgrade: "), r.err.rfind("Batch upgrade: ")) << r.err;
        EXPECT_EQ(r.out.find('%'), std::string::npos) << r.out;
        EXPECT_EQ(r.out.find("SN = "), std::string::npos) << r.out;
    }
    EXPECT_TRUE(sim->images().empty());
    const auto commands = sim->commands();
    EXPECT_EQ(std::count(commands.begin(), commands.end(), "QUERY_UPGRADE_MSG"), 0);
}

TEST_F(UpgradeCliTest, InterruptCancelsTheTransfer) {
    prepare(kCancelSubnet);
    startSimulator(1);
    // Long enough at the pace set that the interrupt lands while datagrams still go out.
    const std::string image = writeImage(8 * 1000 * 1000);
    CliRunner cli(command({"upgrade", "--image", image}));
    for (int i = 0; i < 200 && cli.readOutFor(100).find("%\n") == std::string::npos; ++i) {
    }
    cli.signal(SIGINT);
    const CliOutcome r = cli.finish();
    EXPECT_EQ(r.code, 2) << r.out << r.err;
    EXPECT_NE(r.out.find("升级传输已经取消"), std::string::npos) << r.out;
    EXPECT_NE(r.err.find("已经终止传输"), std::string::npos) << r.err;
    ASSERT_TRUE(sim->waitForJournal(1, std::chrono::seconds(5)));
    const auto commands = sim->commands();
    EXPECT_EQ(std::count(commands.begin(), commands.end(), "HG_UPGRADE_CANCEL"), 1);
    EXPECT_EQ(std::count(commands.begin(), commands.end(), "QUERY_UPGRADE_MSG"), 0);
}

class LogsCliTest : public MaintenanceCli, public ::testing::Test {
protected:
    void SetUp() override {
        prepare(kLogsSubnet);
        RecordStore store(dir.file("orvalog.db"));
        ASSERT_TRUE(store.open("logs"));
        // Stored one by one, so ids rise in this order.
        add(store, "SN-A", "KT540G", "tech01", CheckPassed, "2026-03-01 10:00:00");
        add(store, "SN-B", "KT593G", "O'Neil", CheckFailed, "2026-03-02 11:00:00",
            {{1, "FE1 不正常"}, {14, "LED 不正常"}});
        add(store, "SN-C", "KT540G", "tech02", CheckNotTested, "2026-03-03 12:00:00");
        store.close();
    }
    static void add(RecordStore& store, const std::string& sn, const std::string& type, const std::string& op, int fe1,
                    const std::string& at, std::vector<RecordFault> faults = {}) {
        DiagRecord r;
        r.faults = std::move(faults);
        r.sn = sn;
        r.DeviceType = type;
        r.Operator = op;
        r.Mac = "00-11-22-33-44-55";
        r.FE1Check = fe1;
        ASSERT_EQ(store.insert("logs", {r}, at), RecordStore::Stored);
    }
    std::vector<std::string> serialsOf(const std::vector<std::string>& filter) const {
        std::vector<std::string> words = {"logs", "--json"};
        words.insert(words.end(), filter.begin(), filter.end());
        const CliOutcome r = RunCli(command(words));
        EXPECT_EQ(r.code, 0) << r.out << r.err;
        std::vector<std::string> serials;
        const auto doc = nlohmann::json::parse(r.out, nullptr, false);
        EXPECT_TRUE(doc.is_array()) << r.out;
        if (doc.is_array())
            for (const auto& row : doc)
                serials.push_back(row.value("sn", "?"));
        return serials;
    }
};

TEST_F(LogsCliTest, EachFilterSelectsItsRowsNewestFirst) {
    struct Case {
        std::string name;
        std::vector<std::string> filter;
        std::vector<std::string> serials;
    };
    const std::vector<Case> cases = {
        {"Serial", {"--sn", "SN-B"}, {"SN-B"}},
        {"DeviceType", {"--device-type", "KT540G"}, {"SN-C", "SN-A"}},
        {"OperatorWithQuote", {"--operator", "O'Neil"}, {"SN-B"}},
        {"DateRangeBothEndsIncluded", {"--from", "2026-03-01", "--to", "2026-03-02"}, {"SN-B", "SN-A"}},
        {"NothingFound", {"--sn", "SN-Z"}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(serialsOf(c.filter), c.serials);
    }
}

TEST_F(LogsCliTest, RowsReadAsThePageShowsThem) {
    const CliOutcome json = RunCli(command({"logs", "--json", "--from", "2026-03-01", "--to", "2026-03-03"}));
    ASSERT_EQ(json.code, 0) << json.err;
    const auto doc = nlohmann::json::parse(json.out);
    ASSERT_EQ(doc.size(), 3u);
    // Keys are the stored column names and values the stored texts; "labels" has the page's words.
    EXPECT_EQ(doc[0]["Operator"], "tech02");
    EXPECT_EQ(doc[0]["FE1Check"], "9");
    EXPECT_EQ(doc[0]["labels"]["FE1Check"], "未检测");
    EXPECT_EQ(doc[1]["FE1Check"], "0");
    EXPECT_EQ(doc[1]["labels"]["FE1Check"], "失败");
    EXPECT_EQ(doc[2]["FE1Check"], "1");
    EXPECT_EQ(doc[2]["labels"]["FE1Check"], "成功");
    EXPECT_EQ(doc[2]["datetime"], "2026-03-01 10:00:00");
    EXPECT_EQ(doc[2]["labels"]["datetime"], "2026-03-01 10:00:00");
    // Every stored column is a key, in the row and in its labels; the id is shown as stored.
    std::set<std::string> columns(RecordColumnNames().begin(), RecordColumnNames().end());
    std::set<std::string> rowKeys, labelKeys;
    for (const auto& item : doc[2].items())
        rowKeys.insert(item.key());
    for (const auto& item : doc[2]["labels"].items())
        labelKeys.insert(item.key());
    EXPECT_EQ(labelKeys, columns);
    columns.insert("labels");
    columns.insert("faults");
    EXPECT_EQ(rowKeys, columns);
    EXPECT_EQ(doc[2]["labels"]["id"], doc[2]["id"]);

    const CliOutcome table = RunCli(command({"logs", "--sn", "SN-A"}));
    ASSERT_EQ(table.code, 0) << table.err;
    const std::vector<std::string> lines = Lines(table.out);
    ASSERT_EQ(lines.size(), 2u) << table.out;
    EXPECT_TRUE(StartsWith(lines[0], "ID\tMac地址\t")) << lines[0];
    EXPECT_NE(lines[1].find("\tSN-A\tKT540G\t成功\t"), std::string::npos) << lines[1];
}

// Each record carries the faults kept with it, named as the check table names the item; a record
// without faults has an empty array.
TEST_F(LogsCliTest, JsonCarriesEachRecordsFaults) {
    const CliOutcome r = RunCli(command({"logs", "--json", "--from", "2026-03-01", "--to", "2026-03-03"}));
    ASSERT_EQ(r.code, 0) << r.err;
    const auto doc = nlohmann::json::parse(r.out);
    ASSERT_EQ(doc.size(), 3u);
    struct Case {
        std::size_t index;
        nlohmann::json faults;
    };
    const std::vector<Case> cases = {
        {0, nlohmann::json::array()},
        {1, nlohmann::json::parse(R"([{"item":1,"name":"第一个LAN1口测试","fault":"FE1 不正常"},
                                       {"item":14,"name":"LED灯诊断","fault":"LED 不正常"}])")},
        {2, nlohmann::json::array()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.index);
        EXPECT_EQ(doc[c.index]["faults"], c.faults);
    }
    EXPECT_EQ(doc[1]["sn"], "SN-B");
    // The row's own values are what they always were.
    EXPECT_EQ(doc[1]["LEDCheck"], "9");
}

TEST_F(LogsCliTest, ExportWritesASpreadsheet) {
    const std::string path = dir.file("found.xls");
    const CliOutcome r = RunCli(command({"logs", "--device-type", "KT540G", "--xls", path}));
    EXPECT_EQ(r.code, 0) << r.out << r.err;
    ASSERT_TRUE(fileExists(path));
    const std::string bytes = readFile(path);
    ASSERT_GE(bytes.size(), 512u);
    EXPECT_EQ(bytes.substr(0, 4), std::string("\xD0\xCF\x11\xE0", 4));
}

TEST_F(LogsCliTest, BadCommandLinesAreRefused) {
    const std::vector<std::vector<std::string>> cases = {
        {"logs", "--from", "2026-3-1"},
        {"logs", "--to", "2026-13-01"},
        {"logs", "--sn"},
        {"logs", "--colour"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.back());
        EXPECT_EQ(RunCli(command(c)).code, 64);
    }
}

} // namespace
} // namespace orva::test

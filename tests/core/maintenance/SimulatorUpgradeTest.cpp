// The maintenance sessions against the gateway simulator, which judges every image it receives the way
// a gateway would: a whole image, one with a datagram lost on the way, a cancelled one, and a restore
// whose gateways answer differently. The simulator is configured through its command line, so the
// recipes its --help gives are the ones tested here.
#include "MaintenanceFixture.h"
#include "StatusWaitEnder.h"
#include "TestSubnets.h"
#include "TestSupport.h"
#include "core/maintenance/RestoreSession.h"
#include "core/maintenance/UpgradeSession.h"
#include "core/protocol/CommandChannel.h"
#include "sim/GatewaySimulator.h"

#include <gtest/gtest.h>

#include <optional>
#include <regex>
#include <thread>

namespace orva::test {
namespace {

using namespace std::chrono_literals;

constexpr const char* kSn = "SIMUP0001";
constexpr const char* kBuildDate = "20250607";

// A simulator on 127.0.N.1 and its segment broadcast address, set up by command-line arguments.
struct Simulator {
    Simulator(int subnetN, std::vector<std::string> args) : sim(parse(subnetN, std::move(args))) {
        const Result<void> startup = sim.start();
        started = startup.ok();
        EXPECT_TRUE(started) << startup.error();
    }
    static sim::Options parse(int subnetN, std::vector<std::string> args) {
        args.insert(args.begin(), {"--address", gatewayAddress(subnetN), "--sn", kSn, "--build-date", kBuildDate});
        sim::Options options;
        bool help = false;
        const Result<void> parsed = sim::ParseCommandLine(args, options, help);
        EXPECT_TRUE(parsed.ok()) << parsed.error();
        return options;
    }
    // The journal entry of the first status query; null while none arrived.
    std::optional<sim::JournalEntry> statusQuery() const {
        for (const auto& e : sim.journal())
            if (e.command == "QUERY_UPGRADE_MSG")
                return e;
        return std::nullopt;
    }
    sim::GatewaySimulator sim;
    bool started = false;
};

struct SimUpgradeCase {
    const char* name;
    int subnet;
    size_t imageSize;
    std::vector<std::string> simArgs;
    bool cancel;
    std::string status; // what the gateways answer
    std::string reason; // the verdict's reason, as journalled with the query
};

void PrintTo(const SimUpgradeCase& c, std::ostream* os) {
    *os << c.name;
}

class SimulatorUpgrade : public ::testing::TestWithParam<SimUpgradeCase> {};

TEST_P(SimulatorUpgrade, EveryGatewayAnswersTheVerdictOnTheTransfer) {
    const SimUpgradeCase& c = GetParam();
    TempProgramDir dir("orva-simup");
    UseSettings(dir, c.subnet, {{"upgradeinterval", "0.002"}, {"waittime", "0"}, {"updatelistentime", "1"}});
    std::vector<std::string> args{"--gateways", "3"};
    args.insert(args.end(), c.simArgs.begin(), c.simArgs.end());
    Simulator simulator(c.subnet, args);
    ASSERT_TRUE(simulator.started);
    RecordingNotifier notifier;
    const std::string image = PatternImage(c.imageSize, 131, 17);
    writeFile(dir.file("image.bin"), image);

    RecordingUpgradeView view;
    UpgradeSession session(view);
    session.setImagePath(dir.file("image.bin"));
    ASSERT_TRUE(session.startTransfer());
    if (c.cancel) {
        // Well into the transfer: the image-info datagram and 20 data datagrams have arrived.
        ASSERT_TRUE(simulator.sim.waitForJournal(21, 10s));
        ASSERT_TRUE(session.cancel());
        // The technician asks the gateways anyway.
        ASSERT_TRUE(session.startCheck());
    }
    {
        StatusWaitEnder ender([&simulator] {
            const auto query = simulator.statusQuery();
            return query ? std::vector<std::string>{query->source} : std::vector<std::string>{};
        });
        session.wait();
    }

    const auto verdict = simulator.sim.upgradeVerdict();
    EXPECT_EQ(verdict.status, c.status) << verdict.reason;
    EXPECT_EQ(verdict.reason, c.reason);
    const auto query = simulator.statusQuery();
    ASSERT_TRUE(query);
    EXPECT_EQ(query->note, "upgrade verdict " + c.status + (c.reason.empty() ? "" : ": " + c.reason));
    if (c.status == "UPGRADE_SUCCESS") {
        EXPECT_EQ(simulator.sim.upgradeImage(), image);
    }

    const std::string date = R"(\d{4}-\d{2}-\d{2},\d{2}:\d{2}:\d{2}\.)";
    const auto lines = view.events("line ");
    ASSERT_EQ(lines.size(), 3u);
    const std::vector<std::string> serials{kSn, std::string(kSn) + "-2", std::string(kSn) + "-3"};
    for (size_t k = 0; k < serials.size(); ++k) {
        const std::string expected =
            c.status == "UPGRADE_SUCCESS"
                ? "SN = " + serials[k] + "，升级成功. 软件编译日期：" + kBuildDate + ".软件升级日期：" + date
                : "SN = " + serials[k] + "，升级失败. 软件升级日期：" + date;
        EXPECT_TRUE(std::regex_match(lines[k], std::regex(expected))) << lines[k];
    }
    EXPECT_FALSE(session.running());
}

// 5,500 bytes are six data datagrams, the last one of 500 bytes.
INSTANTIATE_TEST_SUITE_P(
    Transfers, SimulatorUpgrade,
    ::testing::Values(
        SimUpgradeCase{
            "whole", orva::test::subnets::maintenance::kSimUpgradeWhole, 5'500, {}, false, "UPGRADE_SUCCESS", ""},
        SimUpgradeCase{"middleDatagramLost",
                       orva::test::subnets::maintenance::kSimUpgradeMiddleLost,
                       5'500,
                       {"--drop-image-datagram", "3"},
                       false,
                       "UPGRADE_FAIL",
                       "sequence 4 where 3 was due"},
        SimUpgradeCase{"lastDatagramLost",
                       orva::test::subnets::maintenance::kSimUpgradeLastLost,
                       5'500,
                       {"--drop-image-datagram", "6"},
                       false,
                       "UPGRADE_FAIL",
                       "incomplete: 5000 of 5500 bytes"},
        // 400 datagrams: most of a second, long enough to cancel in the middle.
        SimUpgradeCase{"cancelled",
                       orva::test::subnets::maintenance::kSimUpgradeCancelled,
                       400'000,
                       {},
                       true,
                       "UPGRADE_FAIL",
                       "transfer cancelled"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SimulatorRestore, TwoGatewaysGiveTwoLinesInArrivalOrder) {
    constexpr int kSubnet = orva::test::subnets::maintenance::kSimRestore;
    TempProgramDir dir("orva-simup");
    UseSettings(dir, kSubnet, {{"resetlistentime", "1"}});
    CommandChannel::Instance().SetReplyTimeout(1);
    // Gateway 1 restores and answers late; gateway 2 fails at once and does not say who it is.
    Simulator simulator(kSubnet, {"--gateways", "2", "--override", "HG_REVOCERY_PRECONFIG", "gateway=1", "delay=300",
                                  "--override", "HG_REVOCERY_PRECONFIG", "gateway=2",
                                  "status=HG_REVOCERY_PRECONFIG_FAIL", "drop=SN"});
    ASSERT_TRUE(simulator.started);
    RecordingNotifier notifier;

    RecordingRestoreView view;
    RestoreSession session(view);
    ASSERT_TRUE(session.start(gatewayAddress(kSubnet)));
    session.wait();

    const auto events = view.events();
    ASSERT_EQ(events.size(), 4u);
    EXPECT_EQ(events.front(), "started");
    const std::string date = R"(\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2})";
    EXPECT_TRUE(std::regex_match(events[1], std::regex("line 网关恢复出厂设置失败。日期：" + date))) << events[1];
    EXPECT_TRUE(std::regex_match(events[2],
                                 std::regex("line SN = " + std::string(kSn) + "，网关恢复出厂设置成功。日期：" + date)))
        << events[2];
    EXPECT_EQ(events.back(), "finished");
    EXPECT_EQ(simulator.sim.commands(), std::vector<std::string>{"HG_REVOCERY_PRECONFIG"});
    EXPECT_TRUE(notifier.messages().empty());
}

} // namespace
} // namespace orva::test

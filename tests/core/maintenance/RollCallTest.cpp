// The roll-call before a restore or an upgrade check: who it keeps, what it ignores, and what the
// sessions make of it against the simulated segment.
#include "core/maintenance/RollCall.h"

#include "MaintenanceFixture.h"
#include "SimulatorPeers.h"
#include "TestSubnets.h"
#include "UdpPeer.h"
#include "core/app/TextTable.h"
#include "core/maintenance/RestoreSession.h"
#include "core/maintenance/UpgradeSession.h"
#include "core/protocol/CommandChannel.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <regex>
#include <thread>

namespace orva::test {
namespace rollcall {

using namespace std::chrono_literals;

const std::string kIdentity = "QUERY_SYSTEM_INFO_SUCC SWVERSION=V1 HDVERSION=H1 PRODUCTCLASS=KT540G CPUCLASS=C1 ";

struct AddCase {
    const char* name;
    std::string reply;
    RollCall::Verdict verdict;
    std::string serial; // kept, when added
};

TEST(RollCall, KeepsIdentityRepliesWithAUsableSerialOnly) {
    const std::vector<AddCase> cases = {
        {"serial from DEVTYPE", kIdentity + "DEVTYPE=GW1", RollCall::Verdict::Added, "GW1"},
        {"SN wins over DEVTYPE", kIdentity + "DEVTYPE=KT SN=GW2", RollCall::Verdict::Added, "GW2"},
        {"no marker", "SWVERSION=V1 DEVTYPE=GW3", RollCall::Verdict::Ignored, ""},
        {"no serial", kIdentity, RollCall::Verdict::Ignored, ""},
        {"empty serial", kIdentity + "DEVTYPE=", RollCall::Verdict::Ignored, ""},
        {"serial too long", kIdentity + "DEVTYPE=" + std::string(65, 'A'), RollCall::Verdict::Ignored, ""},
        {"serial at the limit", kIdentity + "DEVTYPE=" + std::string(64, 'B'), RollCall::Verdict::Added,
         std::string(64, 'B')},
        {"control character", kIdentity + "DEVTYPE=GW\x1b[2J", RollCall::Verdict::Ignored, ""},
        {"not ASCII", kIdentity + "DEVTYPE=GW\xc3\xa9", RollCall::Verdict::Ignored, ""},
    };
    for (const AddCase& c : cases) {
        RollCall rollCall;
        EXPECT_EQ(rollCall.add(c.reply, "127.0.0.1"), c.verdict) << c.name;
        if (c.verdict == RollCall::Verdict::Added) {
            ASSERT_EQ(rollCall.gateways().size(), 1u) << c.name;
            EXPECT_EQ(rollCall.gateways()[0], (KnownGateway{"127.0.0.1", c.serial})) << c.name;
            EXPECT_EQ(rollCall.add(c.reply, "127.0.0.1"), RollCall::Verdict::Repeat) << c.name;
            EXPECT_EQ(rollCall.add(c.reply, "127.0.0.2"), RollCall::Verdict::Added) << "another address: " << c.name;
        } else {
            EXPECT_TRUE(rollCall.empty()) << c.name;
            EXPECT_EQ(rollCall.ignored(), 1u) << c.name;
        }
    }
}

TEST(RollCall, KeepsAtMostItsLimitAndCountsTheRest) {
    RollCall rollCall;
    for (size_t i = 0; i < RollCall::kMaxGateways + 50; ++i)
        rollCall.add(kIdentity + "DEVTYPE=GW" + std::to_string(i), "127.0.0.1");
    EXPECT_EQ(rollCall.gateways().size(), RollCall::kMaxGateways);
    EXPECT_EQ(rollCall.beyond(), 50u);
    // A gateway kept is still a repeat, not one beyond the limit.
    EXPECT_EQ(rollCall.add(kIdentity + "DEVTYPE=GW0", "127.0.0.1"), RollCall::Verdict::Repeat);
}

TEST(RollCall, SettingIsBounded) {
    const std::pair<int, int> cases[] = {{-5, 0}, {0, 0}, {2, 2}, {kMaxRollCallSeconds, kMaxRollCallSeconds},
                                         {1000, kMaxRollCallSeconds}};
    for (const auto& [setting, used] : cases)
        EXPECT_EQ(UsableRollCallTime(setting), used) << setting;
}

TEST(Attendance, MarksKnownGatewaysOnceAndNamesTheSilentOnes) {
    RollCall rollCall;
    rollCall.add(kIdentity + "DEVTYPE=A", "127.0.0.1");
    rollCall.add(kIdentity + "DEVTYPE=B", "127.0.0.1");
    rollCall.add(kIdentity + "DEVTYPE=C", "127.0.0.2");
    Attendance attendance(rollCall);
    EXPECT_EQ(attendance.known(), 3u);
    EXPECT_FALSE(attendance.complete());
    EXPECT_TRUE(attendance.mark("127.0.0.1", "B", true));
    EXPECT_FALSE(attendance.mark("127.0.0.1", "B", true)); // marked already
    EXPECT_FALSE(attendance.mark("127.0.0.1", "Z", true)); // not known
    EXPECT_FALSE(attendance.mark("127.0.0.9", "", true));  // no serial, and nobody known at that address
    EXPECT_TRUE(attendance.mark("127.0.0.2", "", false));  // no serial: the address's unmarked one
    EXPECT_EQ(attendance.silent(), (std::vector<KnownGateway>{{"127.0.0.1", "A"}}));
    EXPECT_EQ(attendance.succeeded(), 1u);
    // A back on another address after its restart is still A.
    EXPECT_TRUE(attendance.mark("127.0.0.9", "A", true));
    EXPECT_FALSE(attendance.mark("127.0.0.1", "A", true)); // marked already
    EXPECT_FALSE(attendance.mark("127.0.0.8", "B", true)); // B's only entry is marked
    EXPECT_TRUE(attendance.complete());
    EXPECT_EQ(attendance.succeeded(), 2u);
    EXPECT_FALSE(Attendance().complete()); // no roll-call: never complete
}

// Replies nobody should believe, and too many of them: the roll-call keeps what is bounded and says
// how much it ignored.
TEST(RollCall, HostileRepliesAreBounded) {
    constexpr int kSubnet = subnets::maintenance::kRollCallHostile;
    TempProgramDir dir("orva-rollcall");
    UseSettings(dir, kSubnet, {});
    constexpr size_t kFlood = RollCall::kMaxGateways + 76;
    UdpPeer segment(subnet(kSubnet) + "255", 7998, [](UdpPeer& self, const Arrival& a) {
        if (DecodePayload(a.bytes) != "QUERY_SYSTEM_INFO")
            return;
        self.reply(a.from, "garbled, not Base64!");
        self.reply(a.from, CommandPayload("HG_REVOCERY_PRECONFIG_SUCC SN=X")); // not an identity
        self.reply(a.from, CommandPayload(kIdentity + "DEVTYPE=" + std::string(200, 'L')));
        self.reply(a.from, std::string(4000, 'A')); // longer than a reply datagram may be
        for (int i = 0; i < 100; ++i)
            self.reply(a.from, CommandPayload(kIdentity + "DEVTYPE=SAME"));
        for (size_t i = 0; i < kFlood; ++i) {
            self.reply(a.from, CommandPayload(kIdentity + "DEVTYPE=F" + std::to_string(i)));
            if (i % 200 == 0)
                std::this_thread::sleep_for(1ms);
        }
    });
    ASSERT_TRUE(segment.ok());
    const RollCall rollCall = TakeRollCall({subnet(kSubnet) + "255", 0, 1, -1}, 1);
    ASSERT_EQ(segment.count(), 1u); // one query
    EXPECT_EQ(rollCall.gateways().size(), RollCall::kMaxGateways);
    EXPECT_EQ(rollCall.gateways().front().serial, "SAME");
    EXPECT_EQ(rollCall.ignored(), 2u); // the restore reply and the long serial; the rest never decoded
    EXPECT_EQ(rollCall.beyond(), kFlood + 1 - RollCall::kMaxGateways);
    const std::vector<std::string> lines = RollCallLines(rollCall);
    EXPECT_EQ(lines.size(), RollCall::kMaxGateways + 3);
}

class RollCallSessions : public ::testing::Test {
protected:
    void start(int subnetN, int gateways, std::vector<sim::Override> overrides) {
        ASSERT_TRUE(StartSimulator(sim_, subnetN, {.gateways = gateways, .sn = "RC", .overrides = std::move(overrides)}));
    }
    static sim::Override Silent(const char* prefix, int gateway) {
        sim::Override o;
        o.prefix = prefix;
        o.gateway = gateway;
        o.noReply = true;
        return o;
    }
    static std::vector<std::string> Containing(const std::vector<std::string>& lines, const std::string& part) {
        std::vector<std::string> out;
        std::copy_if(lines.begin(), lines.end(), std::back_inserter(out),
                     [&](const std::string& l) { return l.find(part) != std::string::npos; });
        return out;
    }

    TempProgramDir dir_{"orva-rollcall"};
    std::unique_ptr<sim::GatewaySimulator> sim_;
};

// Five gateways answer the roll-call. When two of them stay silent in the status check, each gets its
// line after the listen; when all five answer, the check ends then, long before its listen time.
TEST_F(RollCallSessions, UpgradeCheckNamesTheSilentAndEndsOnceEveryoneAnswered) {
    constexpr int kSubnet = subnets::maintenance::kRollCallUpgrade;
    struct Case {
        std::vector<int> silent;
        int listenSeconds;
        size_t neverAnsweredLines;
    };
    const Case cases[] = {{{2, 4}, 2, 2}, {{}, 30, 0}};
    for (const Case& c : cases) {
        std::vector<sim::Override> overrides;
        for (int k : c.silent)
            overrides.push_back(Silent("QUERY_UPGRADE_MSG", k));
        start(kSubnet, 5, overrides);
        UseSettings(dir_, kSubnet,
                    {{"rollcalltime", "1"}, {"updatelistentime", std::to_string(c.listenSeconds)}, {"waittime", "0"}});
        RecordingNotifier notifier;
        RecordingUpgradeView view;
        UpgradeSession session(view);
        ASSERT_TRUE(session.startStatusQuery());
        ASSERT_TRUE(sim_->waitForJournal(2, 5s));
        const auto checkBegan = std::chrono::steady_clock::now();
        session.wait();
        const auto took = std::chrono::steady_clock::now() - checkBegan;

        const std::vector<std::string> lines = view.events("line ");
        EXPECT_EQ(Containing(lines, "在线。").size(), 5u + 1) << "five present lines and the count";
        EXPECT_EQ(Containing(lines, "点名：5个网关在线。").size(), 1u);
        const auto never = Containing(lines, "未应答升级状态查询");
        ASSERT_EQ(never.size(), c.neverAnsweredLines);
        for (size_t i = 0; i < never.size(); ++i)
            EXPECT_EQ(never[i], "SN = RC-" + std::to_string(c.silent[i]) + "（" + gatewayAddress(kSubnet) +
                                    "）在点名中在线，但未应答升级状态查询。");
        EXPECT_EQ(Containing(lines, "升级成功").size(), 5u - c.silent.size());
        const std::optional<GatewayCount> count = view.summary();
        ASSERT_TRUE(count);
        EXPECT_EQ(count->known, 5u);
        EXPECT_EQ(count->knownSucceeded, 5u - c.silent.size());
        EXPECT_EQ(count->neverAnswered, c.silent.size());
        if (c.silent.empty()) {
            EXPECT_LT(took, std::chrono::seconds(c.listenSeconds) / 2)
                << std::chrono::duration_cast<std::chrono::milliseconds>(took).count() << " ms";
        }
        // The roll-call and the status query, nothing else, went to the segment.
        std::vector<std::string> commands = sim_->commands();
        EXPECT_EQ(commands, (std::vector<std::string>{"QUERY_SYSTEM_INFO", "QUERY_UPGRADE_MSG"}));
        sim_->stop();
        sim_.reset();
    }
}

// A status query after a transfer whose image could not be read asks the segment again rather than
// going by the roll-call of the transfer before.
TEST_F(RollCallSessions, AFailedTransferLeavesNoRollCallBehind) {
    constexpr int kSubnet = subnets::maintenance::kRollCallUpgrade;
    start(kSubnet, 2, {});
    UseSettings(dir_, kSubnet, {{"rollcalltime", "1"}, {"updatelistentime", "2"}, {"waittime", "0"}});
    RecordingNotifier notifier;
    RecordingUpgradeView view;
    UpgradeSession session(view);
    ASSERT_TRUE(session.startStatusQuery());
    session.wait();
    session.setImagePath(dir_.file("no-such-image.img"));
    ASSERT_TRUE(session.startTransfer());
    session.wait();
    ASSERT_TRUE(session.startStatusQuery());
    session.wait();
    EXPECT_EQ(sim_->commands(), (std::vector<std::string>{"QUERY_SYSTEM_INFO", "QUERY_UPGRADE_MSG",
                                                         "QUERY_SYSTEM_INFO", "QUERY_UPGRADE_MSG"}));
}

std::vector<std::string> WithoutDates(std::vector<std::string> events) {
    for (auto& e : events)
        e = std::regex_replace(e, std::regex(R"(\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2})"), "DATE");
    return events;
}

// A gateway silent in the restore gets its line. A segment that does not answer the identity query
// gives no roll-call, and then the restore shows what it shows without one.
TEST_F(RollCallSessions, RestoreNamesTheSilentAndWithoutARollCallShowsWhatItAlwaysDid) {
    constexpr int kSubnet = subnets::maintenance::kRollCallRestore;
    const auto restore = [&](const std::map<std::string, std::string>& settings, RecordingRestoreView& view) {
        UseSettings(dir_, kSubnet, settings);
        CommandChannel::Instance().SetReplyTimeout(1);
        RecordingNotifier notifier;
        RestoreSession session(view);
        ASSERT_TRUE(session.start(gatewayAddress(kSubnet)));
        session.wait();
    };

    start(kSubnet, 3, {Silent("HG_REVOCERY_PRECONFIG", 2)});
    RecordingRestoreView withRollCall;
    restore({{"rollcalltime", "1"}, {"resetlistentime", "1"}}, withRollCall);
    const auto events = withRollCall.events();
    ASSERT_GE(events.size(), 2u);
    EXPECT_EQ(events.front(), "started");
    EXPECT_EQ(events.back(), "finished");
    const auto never = Containing(events, "未应答恢复出厂设置");
    ASSERT_EQ(never.size(), 1u);
    EXPECT_EQ(never[0], "line SN = RC-2（" + gatewayAddress(kSubnet) + "）在点名中在线，但未应答恢复出厂设置。");
    EXPECT_EQ(events[events.size() - 2], never[0]) << "the silent gateway's line closes the list";
    EXPECT_EQ(Containing(events, "在线。").size(), 3u + 1);
    ASSERT_TRUE(withRollCall.summary());
    EXPECT_EQ(withRollCall.summary()->known, 3u);
    EXPECT_EQ(withRollCall.summary()->knownSucceeded, 2u);
    EXPECT_EQ(withRollCall.summary()->neverAnswered, 1u);
    EXPECT_FALSE(withRollCall.summary()->everyKnownSucceeded());
    sim_->stop();

    // No identity answers: the same lines and counts as a restore with the roll-call turned off.
    start(kSubnet, 3, {Silent("HG_REVOCERY_PRECONFIG", 2), Silent("QUERY_SYSTEM_INFO", 0)});
    RecordingRestoreView unanswered;
    restore({{"rollcalltime", "1"}, {"resetlistentime", "1"}}, unanswered);
    RecordingRestoreView off;
    restore({{"rollcalltime", "0"}, {"resetlistentime", "1"}}, off);
    EXPECT_EQ(WithoutDates(unanswered.events()), WithoutDates(off.events()));
    EXPECT_EQ(unanswered.summary(), off.summary());
    EXPECT_EQ(off.summary(), (GatewayCount{2, 2, 0}));
    const auto commands = sim_->commands();
    EXPECT_EQ(std::count(commands.begin(), commands.end(), "QUERY_SYSTEM_INFO"), 1) << "asked once, with rollcalltime=1";
}

} // namespace rollcall
} // namespace orva::test

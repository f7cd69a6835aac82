// Restores over loopback against fake gateways bound to the segment's broadcast address.
#include "core/maintenance/RestoreSession.h"
#include "MaintenanceFixture.h"
#include "TestSubnets.h"
#include "UdpPeer.h"
#include "core/protocol/CommandChannel.h"

#include <gtest/gtest.h>

#include <regex>
#include <thread>

namespace orva::test {
namespace {

using namespace std::chrono_literals;

constexpr uint16_t kRestorePort = 7998;

TEST(RestoreSession, TwoGatewaysGiveTwoLinesInArrivalOrder) {
    constexpr int kSubnet = orva::test::subnets::maintenance::kRestoreTwoGateways;
    TempProgramDir dir("orva-restore");
    UseSettings(dir, kSubnet, {{"resetlistentime", "1"}});
    CommandChannel::Instance().SetReplyTimeout(1);
    UdpPeer gateways(subnet(kSubnet) + "255", kRestorePort, [](UdpPeer& self, const Arrival& a) {
        if (DecodePayload(a.bytes) != "HG_REVOCERY_PRECONFIG")
            return;
        self.reply(a.from, CommandPayload("HG_REVOCERY_PRECONFIG_SUCC SN=GW1"));
        self.reply(a.from, CommandPayload("SN=GW9")); // no status word: no line
        self.reply(a.from, "not Base64!");            // ignored
        self.reply(a.from, CommandPayload("HG_REVOCERY_PRECONFIG_FAIL"));
    });
    ASSERT_TRUE(gateways.ok());
    RecordingNotifier notifier;

    RecordingRestoreView view;
    RestoreSession session(view);
    ASSERT_TRUE(session.start(gatewayAddress(kSubnet)));
    EXPECT_TRUE(session.running());
    EXPECT_FALSE(session.start(gatewayAddress(kSubnet))); // one restore at a time
    session.wait();
    EXPECT_FALSE(session.running());

    const auto events = view.events();
    ASSERT_EQ(events.size(), 4u);
    EXPECT_EQ(events.front(), "started");
    const std::string date = R"(\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2})";
    EXPECT_TRUE(std::regex_match(events[1], std::regex("line SN = GW1，网关恢复出厂设置成功。日期：" + date)))
        << events[1];
    EXPECT_TRUE(std::regex_match(events[2], std::regex("line 网关恢复出厂设置失败。日期：" + date))) << events[2];
    EXPECT_EQ(events.back(), "finished");

    EXPECT_EQ(gateways.count(), 1u); // the refused second start sent nothing
    EXPECT_TRUE(notifier.messages().empty());
    // The channel keeps what the restore chose.
    EXPECT_EQ(CommandChannel::Instance().Address(), subnet(kSubnet) + "255");
    EXPECT_EQ(CommandChannel::Instance().Port(), kRestorePort);
    EXPECT_EQ(CommandChannel::Instance().ListenTime(), 1);

    // And the next restore may start.
    ASSERT_TRUE(session.start(gatewayAddress(kSubnet)));
    session.wait();
    EXPECT_EQ(view.events().size(), 8u);
}

TEST(RestoreSession, ListenTimeZeroSendsAndReturnsWithoutListening) {
    constexpr int kSubnet = orva::test::subnets::maintenance::kRestoreNoListen;
    TempProgramDir dir("orva-restore");
    UseSettings(dir, kSubnet, {{"resetlistentime", "0"}});
    CommandChannel::Instance().SetReplyTimeout(1);
    UdpPeer gateways(subnet(kSubnet) + "255", kRestorePort, [](UdpPeer& self, const Arrival& a) {
        self.reply(a.from, CommandPayload("HG_REVOCERY_PRECONFIG_SUCC SN=GW1"));
    });
    ASSERT_TRUE(gateways.ok());
    RecordingNotifier notifier;

    RecordingRestoreView view;
    RestoreSession session(view);
    ASSERT_TRUE(session.start(gatewayAddress(kSubnet)));
    session.wait();
    EXPECT_EQ(view.events(), (std::vector<std::string>{"started", "finished"}));
    ASSERT_TRUE(gateways.waitFor(1, 2s));
    EXPECT_EQ(DecodePayload(gateways.arrivals()[0].bytes), "HG_REVOCERY_PRECONFIG");
}

// One host that repeats its reply is one gateway, however often it repeats: one line, one count. The
// same serial number from another address is another gateway.
TEST(RestoreSession, RepeatedRepliesOfOneGatewayCountOnce) {
    constexpr int kSubnet = orva::test::subnets::maintenance::kRestoreRepeatedReplies;
    constexpr int kRepeats = 3'000;
    TempProgramDir dir("orva-restore");
    UseSettings(dir, kSubnet, {{"resetlistentime", "1"}});
    CommandChannel::Instance().SetReplyTimeout(1);
    UdpPeer neighbour(subnet(kSubnet) + "7", 0);
    UdpPeer gateways(subnet(kSubnet) + "255", kRestorePort, [&](UdpPeer& self, const Arrival& a) {
        if (DecodePayload(a.bytes) != "HG_REVOCERY_PRECONFIG")
            return;
        const std::string success = CommandPayload("HG_REVOCERY_PRECONFIG_SUCC SN=GW1");
        self.reply(a.from, success);
        neighbour.reply(a.from, success);
        self.reply(a.from, CommandPayload("HG_REVOCERY_PRECONFIG_FAIL SN=GW2"));
        for (int i = 1; i < kRepeats; ++i) {
            self.reply(a.from, success);
            if (i % 200 == 0) // in bursts the receive buffer holds
                std::this_thread::sleep_for(1ms);
        }
    });
    ASSERT_TRUE(gateways.ok() && neighbour.ok());
    RecordingNotifier notifier;

    RecordingRestoreView view;
    RestoreSession session(view);
    ASSERT_TRUE(session.start(gatewayAddress(kSubnet)));
    session.wait();

    const auto events = view.events();
    ASSERT_EQ(events.size(), 5u);
    EXPECT_EQ(events[1].rfind("line SN = GW1，网关恢复出厂设置成功。", 0), 0u) << events[1];
    EXPECT_EQ(events[2].rfind("line SN = GW1，网关恢复出厂设置成功。", 0), 0u) << events[2];
    EXPECT_EQ(events[3].rfind("line SN = GW2，网关恢复出厂设置失败。", 0), 0u) << events[3];
    EXPECT_EQ(events.back(), "finished");
    EXPECT_EQ(view.summary(), (GatewayCount{3, 2, 1}));
}

// The restore ends at `resetlistentime`, not a reply time-out (here 30 s) after it.
TEST(RestoreSession, EndsAtItsListenTime) {
    constexpr int kSubnet = orva::test::subnets::maintenance::kRestoreListenTime;
    constexpr int kListenSeconds = 2;
    TempProgramDir dir("orva-restore");
    UseSettings(dir, kSubnet, {{"resetlistentime", std::to_string(kListenSeconds)}});
    CommandChannel::Instance().SetReplyTimeout(30);
    UdpPeer gateways(subnet(kSubnet) + "255", kRestorePort, [](UdpPeer& self, const Arrival& a) {
        self.reply(a.from, CommandPayload("HG_REVOCERY_PRECONFIG_SUCC SN=GW1"));
    });
    ASSERT_TRUE(gateways.ok());
    RecordingNotifier notifier;

    RecordingRestoreView view;
    RestoreSession session(view);
    const auto begin = std::chrono::steady_clock::now();
    ASSERT_TRUE(session.start(gatewayAddress(kSubnet)));
    session.wait();
    const auto took = std::chrono::steady_clock::now() - begin;
    EXPECT_GE(took, std::chrono::seconds(kListenSeconds));
    EXPECT_LT(took, std::chrono::seconds(kListenSeconds + 2))
        << std::chrono::duration_cast<std::chrono::milliseconds>(took).count() << " ms";
    EXPECT_EQ(view.summary(), (GatewayCount{1, 1, 0}));
}

} // namespace
} // namespace orva::test

// Exchanges that name their own target: they go where the target says, wait as long as it says, and
// neither read nor change the channel's settings; the command operations given a gateway send each
// command to its own port.
#include "ChannelFixture.h"
#include "TestSubnets.h"
#include "core/protocol/Base64.h"
#include "core/protocol/DeviceCommands.h"

#include <functional>
#include <map>
#include <memory>

namespace orva::test {
namespace {

constexpr int kTargetsSubnet = orva::test::subnets::protocol::kTargets;

class TargetTest : public ChannelFixture {
protected:
    TargetTest() : ChannelFixture(kTargetsSubnet) {}

    // The settings point at a host nobody listens on, with times that would fail any exchange.
    void pointSettingsNowhere() {
        channel().SetAddress(host(9));
        channel().SetPort(9);
        channel().SetReplyTimeout(-1);
        channel().SetListenTime(-1);
    }
    ExchangeTarget nowhere() const { return ExchangeTarget{host(9), 9, -1, -1}; }
};

TEST_F(TargetTest, TheSettingsOfTheMomentAreATarget) {
    channel().SetAddress(host(7));
    channel().SetPort(65536 + 7998); // only the low sixteen bits go on the wire
    channel().SetReplyTimeout(15);
    channel().SetListenTime(5);
    EXPECT_EQ(channel().Target(), (ExchangeTarget{host(7), 7998, 15, 5}));
    EXPECT_EQ(channel().Target().onPort(7999), (ExchangeTarget{host(7), 7999, 15, 5}));
}

TEST_F(TargetTest, TransactGoesToTheTargetAndLeavesTheSettingsAlone) {
    FakeGateway gw(gateway(), AnswerEveryTime("CONNECT_SUCC"));
    pointSettingsNowhere();
    std::string reply, error = "untouched";
    EXPECT_EQ(channel().Transact(ExchangeTarget{gateway(), gw.port(), 1, -1}, "CONNECT", reply, error, 1), 0);
    EXPECT_EQ(reply, "CONNECT_SUCC");
    EXPECT_EQ(error, "untouched");
    EXPECT_EQ(gw.received(), std::vector<std::string>{Base64Encode("CONNECT")});
    EXPECT_EQ(channel().Target(), nowhere());
    EXPECT_TRUE(notifier_.messages().empty()); // the settings' unset time-out played no part
}

TEST_F(TargetTest, ATargetWithoutTimesShowsTheirMessageAndSendsNothing) {
    FakeGateway gw(gateway(), AnswerEveryTime("SUCC"));
    struct Case {
        ExchangeTarget target;
        bool listen;
        const char* message;
    };
    for (const Case& c : {Case{{gateway(), gw.port(), -1, 1}, false, "未正确设置超时"},
                          Case{{gateway(), gw.port(), -1, 1}, true, "未正确设置超时"},
                          Case{{gateway(), gw.port(), 1, -1}, true, "未正确设置等待监听的超时"}}) {
        // The settings would allow the exchange: only the target counts.
        aimAt(gw, gateway());
        channel().SetReplyTimeout(1);
        channel().SetListenTime(1);
        const size_t before = notifier_.messages().size();
        std::string reply, error = "untouched";
        const int result = c.listen ? channel().SendAndListen(c.target, "QUERY_UPGRADE_MSG", {}, error)
                                    : channel().Transact(c.target, "CONNECT", reply, error, 1);
        EXPECT_EQ(result, -1);
        EXPECT_EQ(error, "untouched");
        ASSERT_EQ(notifier_.messages().size(), before + 1);
        EXPECT_EQ(notifier_.messages().back(), c.message);
    }
    EXPECT_TRUE(gw.received().empty());
}

// Unlike a listen on the settings, whose listen time is read on every pass, a target's listen lasts
// its own listen time whatever happens to the settings meanwhile.
TEST_F(TargetTest, AListenKeepsItsTargetsListenTime) {
    const std::string prefix = subnet(kTargetsSubnet);
    FakeGateway segment(broadcast(), [prefix](const std::string&) {
        return std::vector<Answer>{ReplyLine("UPGRADE_SUCCESS SN=A2", prefix + "2"),
                                   ReplyLine("UPGRADE_SUCCESS SN=A3", prefix + "3")};
    });
    pointSettingsNowhere();
    std::vector<std::pair<std::string, std::string>> seen; // reply, sender
    std::string error = "untouched";
    EXPECT_EQ(channel().SendAndListen(
                  ExchangeTarget{broadcast(), segment.port(), 1, 1}, "QUERY_UPGRADE_MSG",
                  [&](const std::string& reply, const ReplySource& from) {
                      seen.emplace_back(reply, from.address);
                      channel().SetListenTime(0);
                      channel().SetAddress(host(8));
                  },
                  error),
              0);
    EXPECT_EQ(seen, (std::vector<std::pair<std::string, std::string>>{{"UPGRADE_SUCCESS SN=A2", host(2)},
                                                                       {"UPGRADE_SUCCESS SN=A3", host(3)}}));
    EXPECT_EQ(segment.received(), std::vector<std::string>{Base64Encode("QUERY_UPGRADE_MSG")});
}

// The gateway listens on every port the tool uses; each operation given the gateway reaches the port
// its command belongs to, whatever port the target itself names.
struct PortCase {
    const char* name;
    std::function<void(const ExchangeTarget&)> send;
    uint16_t port; // written out here independently of the command table
    std::string command;
};
void PrintTo(const PortCase& c, std::ostream* os) {
    *os << c.name;
}

class CommandPortTest : public TargetTest, public ::testing::WithParamInterface<PortCase> {};

TEST_P(CommandPortTest, EachCommandGoesToItsOwnPort) {
    const PortCase& c = GetParam();
    std::map<uint16_t, std::unique_ptr<FakeGateway>> ports;
    for (const uint16_t port : {7998, 7999, 50003, 54321})
        ports[port] = std::make_unique<FakeGateway>(gateway(), AnswerEveryTime("SUCC"), port);
    pointSettingsNowhere();
    c.send(ExchangeTarget{gateway(), 9, 1, 0});
    ASSERT_TRUE(ports[c.port]->waitForDatagrams(1));
    // A marker to every other port: what arrived before it shows whether the command went there too.
    std::string reply, error;
    for (auto& [port, gw] : ports) {
        if (port == c.port)
            continue;
        ASSERT_EQ(channel().Transact(ExchangeTarget{gateway(), port, 1, 0}, "MARKER", reply, error, 0), 0);
        ASSERT_TRUE(gw->waitForPayload(Base64Encode("MARKER")));
        EXPECT_EQ(gw->received().size(), 1u) << port;
    }
    EXPECT_EQ(ports[c.port]->received(), std::vector<std::string>{Base64Encode(c.command)});
    EXPECT_EQ(channel().Target(), nowhere());
}

using D = DeviceCommands;
INSTANTIATE_TEST_SUITE_P(
    Commands, CommandPortTest,
    ::testing::Values(
        PortCase{"Connect", [](const ExchangeTarget& g) { DeviceReply r; D::Connect(g, r); }, 7998, "CONNECT"},
        PortCase{"QuerySystemInfo", [](const ExchangeTarget& g) { DeviceReply r; D::QuerySystemInfo(g, r); }, 7998,
                 "QUERY_SYSTEM_INFO"},
        PortCase{"QueryDeviceType", [](const ExchangeTarget& g) { D::QueryDeviceType(g); }, 7998,
                 "QUERY_SYSTEM_INFO"},
        PortCase{"QueryProductClass", [](const ExchangeTarget& g) { D::QueryProductClass(g); }, 7998,
                 "QUERY_SYSTEM_INFO"},
        PortCase{"DiagLanPort2", [](const ExchangeTarget& g) { DeviceReply r; D::DiagLanPort(g, r, 2); }, 7999,
                 "HG_HARDWARE_DIAG STEP=1 FENUM=2"},
        PortCase{"DiagPotsStart", [](const ExchangeTarget& g) { DeviceReply r; D::DiagPotsStart(g, r); }, 7999,
                 "HG_HARDWARE_DIAG STEP=2 METHOD=START"},
        PortCase{"DiagPotsRingOn1", [](const ExchangeTarget& g) { DeviceReply r; D::DiagPotsRingOn(g, r, 1); }, 7999,
                 "HG_HARDWARE_DIAG STEP=2 METHOD=RINGON POSNUM=1"},
        PortCase{"DiagPotsPlayDtmf0", [](const ExchangeTarget& g) { DeviceReply r; D::DiagPotsPlayDtmf(g, r, 0); },
                 7999, "HG_HARDWARE_DIAG STEP=2 METHOD=PLAYDTMF POSNUM=0"},
        PortCase{"DiagPotsCngTone1", [](const ExchangeTarget& g) { DeviceReply r; D::DiagPotsCngTone(g, r, 1); },
                 7999, "HG_HARDWARE_DIAG STEP=2 METHOD=STARTCNGTONE POSNUM=1"},
        PortCase{"DiagPotsCallLoop", [](const ExchangeTarget& g) { DeviceReply r; D::DiagPotsCallLoop(g, r); }, 7999,
                 "HG_HARDWARE_DIAG STEP=2 METHOD=STARTCALLLOOP POSNUM=0"},
        PortCase{"DiagPotsStop", [](const ExchangeTarget& g) { DeviceReply r; D::DiagPotsStop(g, r); }, 7999,
                 "HG_HARDWARE_DIAG STEP=2 METHOD=STOP"},
        PortCase{"DiagUplinkStart", [](const ExchangeTarget& g) { DeviceReply r; D::DiagUplink(g, r, "START"); },
                 7999, "HG_HARDWARE_DIAG STEP=3 METHOD=START"},
        PortCase{"DiagFlash", [](const ExchangeTarget& g) { DeviceReply r; D::DiagFlash(g, r); }, 7999,
                 "HG_HARDWARE_DIAG STEP=4"},
        PortCase{"DiagLedOn", [](const ExchangeTarget& g) { DeviceReply r; D::DiagLed(g, r, "ON"); }, 7999,
                 "HG_HARDWARE_DIAG STEP=5  METHOD=ON"},
        PortCase{"DiagUsb", [](const ExchangeTarget& g) { DeviceReply r; D::DiagUsb(g, r); }, 7999,
                 "HG_HARDWARE_DIAG STEP=6"},
        PortCase{"DiagWifi", [](const ExchangeTarget& g) { DeviceReply r; D::DiagWifi(g, r); }, 7999,
                 "HG_HARDWARE_DIAG STEP=7"},
        PortCase{"DiagSoftwareVersion", [](const ExchangeTarget& g) { DeviceReply r; D::DiagSoftwareVersion(g, r); },
                 7998, "HG_SOFTWARE_DIAG STEP=1"},
        PortCase{"DiagKeyProcess", [](const ExchangeTarget& g) { DeviceReply r; D::DiagKeyProcess(g, r); }, 7998,
                 "HG_SOFTWARE_DIAG STEP=3"},
        PortCase{"DiagSystemResource", [](const ExchangeTarget& g) { DeviceReply r; D::DiagSystemResource(g, r); },
                 7998, "HG_SOFTWARE_DIAG STEP=4"},
        PortCase{"DiagSoftwareArea", [](const ExchangeTarget& g) { DeviceReply r; D::DiagSoftwareArea(g, r); }, 7998,
                 "HG_SOFTWARE_DIAG STEP=5"},
        PortCase{"DiagConfigIntegrity",
                 [](const ExchangeTarget& g) { DeviceReply r; D::DiagConfigIntegrity(g, r); }, 7998,
                 "HG_SOFTWARE_DIAG STEP=6"},
        PortCase{"DiagDiskIntegrity", [](const ExchangeTarget& g) { DeviceReply r; D::DiagDiskIntegrity(g, r); },
                 7998, "HG_SOFTWARE_DIAG STEP=7"},
        PortCase{"RestorePreconfig", [](const ExchangeTarget& g) { D::RestorePreconfig(g, {}); }, 7998,
                 "HG_REVOCERY_PRECONFIG"},
        PortCase{"QueryUpgradeStatus", [](const ExchangeTarget& g) { D::QueryUpgradeStatus(g, {}); }, 50003,
                 "QUERY_UPGRADE_MSG"},
        PortCase{"CancelUpgrade", [](const ExchangeTarget& g) { D::CancelUpgrade(g); }, 54321, "HG_UPGRADE_CANCEL"},
        // The same operations chosen by their id, as the check table does.
        PortCase{"ExchangeLanPort2",
                 [](const ExchangeTarget& g) { DeviceReply r; D::Exchange(g, r, Command::DiagLanPort, 2); }, 7999,
                 "HG_HARDWARE_DIAG STEP=1 FENUM=2"},
        PortCase{"ExchangeLedOn",
                 [](const ExchangeTarget& g) { DeviceReply r; D::Exchange(g, r, Command::DiagLed, 0, "ON"); }, 7999,
                 "HG_HARDWARE_DIAG STEP=5  METHOD=ON"},
        PortCase{"ExchangeFlash", [](const ExchangeTarget& g) { DeviceReply r; D::Exchange(g, r, Command::DiagFlash); },
                 7999, "HG_HARDWARE_DIAG STEP=4"},
        PortCase{"ExchangeKeyProcess",
                 [](const ExchangeTarget& g) { DeviceReply r; D::Exchange(g, r, Command::DiagKeyProcess); }, 7998,
                 "HG_SOFTWARE_DIAG STEP=3"}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace orva::test

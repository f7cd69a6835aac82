// What goes on the wire for each command operation: exactly the Base64 text of the command, nothing else.
#include "ChannelFixture.h"
#include "TestSubnets.h"
#include "core/protocol/Base64.h"
#include "core/protocol/CommandTexts.h"
#include "core/protocol/DeviceCommands.h"

#include <functional>

namespace orva::test {
namespace {

constexpr int kWireSubnet = orva::test::subnets::protocol::kWire;

struct WireCase {
    const char* name;
    std::function<void(DeviceReply&)> send;
    std::string expected; // the command text, written out here independently of the command table
};
// Names the case in test listings instead of dumping its bytes.
void PrintTo(const WireCase& c, std::ostream* os) {
    *os << c.name;
}

class WireTest : public ChannelFixture, public ::testing::WithParamInterface<WireCase> {
protected:
    WireTest() : ChannelFixture(kWireSubnet) {}
};

TEST_P(WireTest, SendsExactlyTheBase64OfTheCommand) {
    const WireCase& c = GetParam();
    FakeGateway gw(gateway(), AnswerEveryTime("WIRE_SUCC"));
    aimAt(gw, gateway());
    channel().SetListenTime(0); // the broadcasts return right after the pause
    DeviceReply reply;
    c.send(reply);
    ASSERT_TRUE(gw.waitForDatagrams(1));
    const auto got = gw.received();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0], Base64Encode(c.expected));
    std::string decoded;
    ASSERT_TRUE(Base64Decode(got[0], decoded));
    EXPECT_EQ(decoded, c.expected);
}

using D = DeviceCommands;
INSTANTIATE_TEST_SUITE_P(
    Commands, WireTest,
    ::testing::Values(
        WireCase{"Connect", [](DeviceReply& r) { D::Connect(r); }, "CONNECT"},
        WireCase{"QuerySystemInfo", [](DeviceReply& r) { D::QuerySystemInfo(r); }, "QUERY_SYSTEM_INFO"},
        WireCase{"QueryDeviceType", [](DeviceReply&) { D::QueryDeviceType(); }, "QUERY_SYSTEM_INFO"},
        WireCase{"QueryProductClass", [](DeviceReply&) { D::QueryProductClass(); }, "QUERY_SYSTEM_INFO"},
        WireCase{"DiagLanPort3", [](DeviceReply& r) { D::DiagLanPort(r, 3); }, "HG_HARDWARE_DIAG STEP=1 FENUM=3"},
        WireCase{"DiagPotsStart", [](DeviceReply& r) { D::DiagPotsStart(r); }, "HG_HARDWARE_DIAG STEP=2 METHOD=START"},
        WireCase{"DiagPotsRingOn0", [](DeviceReply& r) { D::DiagPotsRingOn(r, 0); },
                 "HG_HARDWARE_DIAG STEP=2 METHOD=RINGON POSNUM=0"},
        WireCase{"DiagPotsPlayDtmf1", [](DeviceReply& r) { D::DiagPotsPlayDtmf(r, 1); },
                 "HG_HARDWARE_DIAG STEP=2 METHOD=PLAYDTMF POSNUM=1"},
        WireCase{"DiagPotsCngTone0", [](DeviceReply& r) { D::DiagPotsCngTone(r, 0); },
                 "HG_HARDWARE_DIAG STEP=2 METHOD=STARTCNGTONE POSNUM=0"},
        WireCase{"DiagPotsCallLoop", [](DeviceReply& r) { D::DiagPotsCallLoop(r); },
                 "HG_HARDWARE_DIAG STEP=2 METHOD=STARTCALLLOOP POSNUM=0"},
        WireCase{"DiagPotsStop", [](DeviceReply& r) { D::DiagPotsStop(r); }, "HG_HARDWARE_DIAG STEP=2 METHOD=STOP"},
        WireCase{"DiagUplinkStart", [](DeviceReply& r) { D::DiagUplink(r, "START"); },
                 "HG_HARDWARE_DIAG STEP=3 METHOD=START"},
        WireCase{"DiagFlash", [](DeviceReply& r) { D::DiagFlash(r); }, "HG_HARDWARE_DIAG STEP=4"},
        WireCase{"DiagLedOff", [](DeviceReply& r) { D::DiagLed(r, "OFF"); }, "HG_HARDWARE_DIAG STEP=5  METHOD=OFF"},
        WireCase{"DiagLedOn", [](DeviceReply& r) { D::DiagLed(r, "ON"); }, "HG_HARDWARE_DIAG STEP=5  METHOD=ON"},
        WireCase{"DiagUsb", [](DeviceReply& r) { D::DiagUsb(r); }, "HG_HARDWARE_DIAG STEP=6"},
        WireCase{"DiagWifi", [](DeviceReply& r) { D::DiagWifi(r); }, "HG_HARDWARE_DIAG STEP=7"},
        WireCase{"DiagSoftwareVersion", [](DeviceReply& r) { D::DiagSoftwareVersion(r); }, "HG_SOFTWARE_DIAG STEP=1"},
        WireCase{"DiagKeyProcess", [](DeviceReply& r) { D::DiagKeyProcess(r); }, "HG_SOFTWARE_DIAG STEP=3"},
        WireCase{"DiagSystemResource", [](DeviceReply& r) { D::DiagSystemResource(r); }, "HG_SOFTWARE_DIAG STEP=4"},
        WireCase{"DiagSoftwareArea", [](DeviceReply& r) { D::DiagSoftwareArea(r); }, "HG_SOFTWARE_DIAG STEP=5"},
        WireCase{"DiagConfigIntegrity", [](DeviceReply& r) { D::DiagConfigIntegrity(r); }, "HG_SOFTWARE_DIAG STEP=6"},
        WireCase{"DiagDiskIntegrity", [](DeviceReply& r) { D::DiagDiskIntegrity(r); }, "HG_SOFTWARE_DIAG STEP=7"},
        WireCase{"RestorePreconfig", [](DeviceReply&) { D::RestorePreconfig({}); }, "HG_REVOCERY_PRECONFIG"},
        WireCase{"QueryUpgradeStatus", [](DeviceReply&) { D::QueryUpgradeStatus({}); }, "QUERY_UPGRADE_MSG"},
        WireCase{"CancelUpgrade", [](DeviceReply&) { D::CancelUpgrade(); }, "HG_UPGRADE_CANCEL"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CommandTableTest, EntriesStandInEnumOrderAndBuildTheirTexts) {
    const auto& table = CommandTable();
    ASSERT_EQ(table.size(), static_cast<size_t>(Command::CancelUpgrade) + 1);
    for (size_t i = 0; i < table.size(); ++i)
        EXPECT_EQ(static_cast<size_t>(table[i].id), i) << table[i].name;
    EXPECT_EQ(CommandText(Command::DiagLanPort, 12), "HG_HARDWARE_DIAG STEP=1 FENUM=12");
    EXPECT_EQ(CommandText(Command::DiagUplink, std::string_view("STOP")), "HG_HARDWARE_DIAG STEP=3 METHOD=STOP");
    EXPECT_EQ(Info(Command::DiagFlash).replyFields, (std::vector<std::string>{"STATUS", "STEP", "FLASHUSEAGE"}));
    EXPECT_EQ(Info(Command::QueryUpgradeStatus).gatewayPort, 50003);
    EXPECT_EQ(Info(Command::CancelUpgrade).gatewayPort, 54321);
}

} // namespace
} // namespace orva::test

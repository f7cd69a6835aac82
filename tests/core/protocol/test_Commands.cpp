// What the command operations read from a reply and leave in the DeviceReply.
#include "ChannelFixture.h"
#include "TestSubnets.h"
#include "core/protocol/DeviceCommands.h"
#include "core/protocol/RunStandardCommand.h"

#include <functional>
#include <map>
#include <optional>

namespace orva::test {
namespace {

constexpr int kCommandsSubnet = orva::test::subnets::protocol::kCommands;
using Fields = std::map<std::string, std::string>;

// The gateway's answer: a reply line, a raw payload, or silence.
struct Reply {
    std::optional<std::string> line;
    std::optional<std::string> raw;
    FakeGateway::Responder responder() const {
        const auto l = line;
        const auto r = raw;
        return [l, r](const std::string&) {
            if (l)
                return std::vector<Answer>{ReplyLine(*l)};
            if (r)
                return std::vector<Answer>{Answer{*r, {}}};
            return std::vector<Answer>{};
        };
    }
};
Reply Line(std::string s) {
    return Reply{std::move(s), std::nullopt};
}
Reply Raw(std::string s) {
    return Reply{std::nullopt, std::move(s)};
}
const Reply kSilence{};

const Fields kNoReply = {{"RET", "ERROR"}, {"ERROR", "recvfrom data error!\n"}};

struct CommandCase {
    const char* name;
    std::function<bool(DeviceReply&)> run;
    Reply reply;
    bool result;
    Fields expected;
};
// Names the case in test listings instead of dumping its bytes.
void PrintTo(const CommandCase& c, std::ostream* os) {
    *os << c.name;
}

class CommandsTest : public ChannelFixture, public ::testing::WithParamInterface<CommandCase> {
protected:
    CommandsTest() : ChannelFixture(kCommandsSubnet) {}
};

TEST_P(CommandsTest, LeavesWhatTheReplyHeld) {
    const CommandCase& c = GetParam();
    FakeGateway gw(gateway(), c.reply.responder());
    aimAt(gw, gateway());
    DeviceReply reply;
    EXPECT_EQ(c.run(reply), c.result);
    EXPECT_EQ(reply.Snapshot(), c.expected);
}

using D = DeviceCommands;
const auto connect = [](DeviceReply& r) { return D::Connect(r); };
const auto query = [](DeviceReply& r) { return D::QuerySystemInfo(r); };
const std::string kFive = "SWVERSION=V1 HDVERSION=H1 PRODUCTCLASS=HG260 CPUCLASS=MIPS DEVTYPE=SN123";
const Fields kFiveFields = {
    {"SWVERSION", "V1"}, {"HDVERSION", "H1"}, {"PRODUCTCLASS", "HG260"}, {"CPUCLASS", "MIPS"}, {"DEVTYPE", "SN123"}};

INSTANTIATE_TEST_SUITE_P(
    Connect, CommandsTest,
    ::testing::Values(
        CommandCase{
            "StatusWordOnly", connect, Line("CONNECT_SUCC"), true, {{"RET", "SUCC"}, {"STATUS", "CONNECT_SUCC"}}},
        CommandCase{"StatusWordAndFields",
                    connect,
                    Line("CONNECT_SUCC SN=1"),
                    true,
                    {{"RET", "SUCC"}, {"STATUS", "CONNECT_SUCC"}}},
        CommandCase{"FirstTokenIsAField", connect, Line("SN=1 CONNECT_SUCC"), false, {{"RET", "SUCC"}}},
        CommandCase{"StatusField", connect, Line("SN=1 STATUS=OK"), true, {{"RET", "SUCC"}, {"STATUS", "OK"}}},
        CommandCase{"Undecodable", connect, Raw("%%%%"), false, {{"RET", "SUCC"}}},
        CommandCase{"NoReply", connect, kSilence, false, kNoReply}),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    QuerySystemInfo, CommandsTest,
    ::testing::Values(CommandCase{"AllFive", query, Line("QUERY_SYSTEM_INFO_SUCC " + kFive), true, kFiveFields},
                      CommandCase{"MarkerInsideAValueAnyOrder",
                                  query,
                                  Line("RESULT=OK DEVTYPE=SN123 CPUCLASS=MIPS PRODUCTCLASS=HG260 HDVERSION=H1 "
                                       "SWVERSION=QUERY_SYSTEM_INFO_SUCC"),
                                  true,
                                  {{"SWVERSION", "QUERY_SYSTEM_INFO_SUCC"},
                                   {"HDVERSION", "H1"},
                                   {"PRODUCTCLASS", "HG260"},
                                   {"CPUCLASS", "MIPS"},
                                   {"DEVTYPE", "SN123"}}},
                      CommandCase{"NoMarker", query, Line("QUERY_SYSTEM_INFO_OK " + kFive), false, {}},
                      CommandCase{"MarkerInOtherCase", query, Line("query_system_info_succ " + kFive), false, {}},
                      CommandCase{
                          "NoCpuClass",
                          query,
                          Line("QUERY_SYSTEM_INFO_SUCC SWVERSION=V1 HDVERSION=H1 PRODUCTCLASS=HG260 DEVTYPE=SN123"),
                          false,
                          {{"SWVERSION", "V1"}, {"HDVERSION", "H1"}, {"PRODUCTCLASS", "HG260"}}},
                      CommandCase{"Undecodable", query, Raw("QUERY_SYSTEM_INFO_SUCC"), false, {}},
                      CommandCase{"NoReply", query, kSilence, false, {}}),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    Diagnostics, CommandsTest,
    ::testing::Values(
        CommandCase{"FlashWithoutUsage",
                    [](DeviceReply& r) { return D::DiagFlash(r); },
                    Line("HG_HARDWARE_DIAG_SUCC STEP=4"),
                    false,
                    {{"RET", "SUCC"}, {"STATUS", "HG_HARDWARE_DIAG_SUCC"}, {"STEP", "4"}}},
        CommandCase{"FlashComplete",
                    [](DeviceReply& r) { return D::DiagFlash(r); },
                    Line("HG_HARDWARE_DIAG_SUCC FLASHUSEAGE=37 STEP=4"),
                    true,
                    {{"RET", "SUCC"}, {"STATUS", "HG_HARDWARE_DIAG_SUCC"}, {"STEP", "4"}, {"FLASHUSEAGE", "37"}}},
        CommandCase{"ResourceWithoutCpuLoad",
                    [](DeviceReply& r) { return D::DiagSystemResource(r); },
                    Line("HG_SOFTWARE_DIAG_SUCC STEP=4 MEMLOAD=30"),
                    false,
                    {{"RET", "SUCC"}, {"STATUS", "HG_SOFTWARE_DIAG_SUCC"}, {"STEP", "4"}}},
        CommandCase{"ResourceWithoutMemLoad",
                    [](DeviceReply& r) { return D::DiagSystemResource(r); },
                    Line("HG_SOFTWARE_DIAG_SUCC STEP=4 CPULOAD=12"),
                    false,
                    {{"RET", "SUCC"}, {"STATUS", "HG_SOFTWARE_DIAG_SUCC"}, {"STEP", "4"}, {"CPULOAD", "12"}}},
        CommandCase{"PotsStartStatusOnly",
                    [](DeviceReply& r) { return D::DiagPotsStart(r); },
                    Line("HG_HARDWARE_DIAG_FAIL"),
                    true,
                    {{"RET", "SUCC"}, {"STATUS", "HG_HARDWARE_DIAG_FAIL"}}},
        CommandCase{"UsbExtraFieldIgnored",
                    [](DeviceReply& r) { return D::DiagUsb(r); },
                    Line("HG_HARDWARE_DIAG_SUCC STEP=6 EXTRA=1 USBCHECK=OK USBUSAGE=10"),
                    true,
                    {{"RET", "SUCC"},
                     {"STATUS", "HG_HARDWARE_DIAG_SUCC"},
                     {"STEP", "6"},
                     {"USBCHECK", "OK"},
                     {"USBUSAGE", "10"}}},
        CommandCase{"StepNotCompared",
                    [](DeviceReply& r) { return D::DiagSoftwareVersion(r); },
                    Line("HG_SOFTWARE_DIAG_SUCC STEP=9 SOFTWAREVERSION=V2"),
                    true,
                    {{"RET", "SUCC"}, {"STATUS", "HG_SOFTWARE_DIAG_SUCC"}, {"STEP", "9"}, {"SOFTWAREVERSION", "V2"}}},
        CommandCase{"LanPortWithoutStatus",
                    [](DeviceReply& r) { return D::DiagLanPort(r, 1); },
                    Line("STEP=1 FESTATUS=OK"),
                    false,
                    {{"RET", "SUCC"}}},
        CommandCase{"DiskCheckUnknownToTheGateway",
                    [](DeviceReply& r) { return D::DiagDiskIntegrity(r); },
                    Line("UNRECOGNIZE_REQUEST"),
                    false,
                    {{"RET", "SUCC"}, {"STATUS", "UNRECOGNIZE_REQUEST"}}},
        CommandCase{
            "WifiUndecodable", [](DeviceReply& r) { return D::DiagWifi(r); }, Raw("abc"), false, {{"RET", "SUCC"}}},
        CommandCase{"LedNoReply", [](DeviceReply& r) { return D::DiagLed(r, "ON"); }, kSilence, false, kNoReply},
        CommandCase{"EarlierValuesStay",
                    [](DeviceReply& r) {
                        r.Put("STATUS", "OLD");
                        return D::DiagKeyProcess(r);
                    },
                    Line("HG_SOFTWARE_DIAG_SUCC STEP=3 KEYPROCESSCHECK=OK"),
                    true,
                    {{"RET", "SUCC"}, {"STATUS", "OLD"}, {"STEP", "3"}, {"KEYPROCESSCHECK", "OK"}}}),
    [](const auto& info) { return std::string(info.param.name); });

class IdentityTest : public ChannelFixture {
protected:
    IdentityTest() : ChannelFixture(kCommandsSubnet) {}
};

TEST_F(IdentityTest, WrappersReturnTheirFieldOrEmptyText) {
    struct Case {
        Reply reply;
        std::string deviceType;
        std::string productClass;
    };
    const std::vector<Case> cases = {
        {Line("QUERY_SYSTEM_INFO_SUCC " + kFive), "SN123", "HG260"},
        {Line("QUERY_SYSTEM_INFO_SUCC SWVERSION=V1 HDVERSION=H1 PRODUCTCLASS=HG260 DEVTYPE=SN123"), "", "HG260"},
        {Line("QUERY_SYSTEM_INFO_OK " + kFive), "", ""},
        {kSilence, "", ""},
    };
    for (const auto& c : cases) {
        FakeGateway gw(gateway(), c.reply.responder());
        aimAt(gw, gateway());
        EXPECT_EQ(DeviceCommands::QueryDeviceType(), c.deviceType);
        EXPECT_EQ(DeviceCommands::QueryProductClass(), c.productClass);
        // Each wrapper sent its own query.
        EXPECT_TRUE(gw.waitForDatagrams(2));
    }
}

TEST_F(IdentityTest, StoppedCommandReportsAFailedExchange) {
    FakeGateway gw(gateway(), AnswerEveryTime("CONNECT_SUCC"));
    aimAt(gw, gateway());
    std::stop_source stop;
    stop.request_stop();
    DeviceReply reply;
    EXPECT_FALSE(DeviceCommands::Connect(reply, stop.get_token()));
    EXPECT_EQ(reply.Snapshot(), (Fields{{"RET", "ERROR"}, {"ERROR", "stopped\n"}}));
    EXPECT_FALSE(RunStandardCommand("CONNECT", {"STATUS"}, reply, stop.get_token()));
}

} // namespace
} // namespace orva::test

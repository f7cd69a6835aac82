// orva-cli restore, upgrade and upgrade-status with a roll-call of the segment: the roll-call's lines,
// the lines of known gateways that never answered, and the exit codes, through the real binary.
#include "CliRunner.h"

#include "SimulatorPeers.h"
#include "TestSubnets.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

namespace orva::test {
namespace rollcall_cli {

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

size_t CountContaining(const std::vector<std::string>& lines, const std::string& part) {
    return static_cast<size_t>(
        std::count_if(lines.begin(), lines.end(), [&](const std::string& l) { return l.find(part) != std::string::npos; }));
}

sim::Override Silent(const char* prefix, int gateway) {
    sim::Override o;
    o.prefix = prefix;
    o.gateway = gateway;
    o.noReply = true;
    return o;
}

struct Case {
    const char* name;
    std::vector<std::string> command; // after the login options
    std::vector<sim::Override> overrides;
    const char* language;
    int code;
    std::vector<std::string> expected; // lines that must be there
    size_t presentLines;               // roll-call lines naming a gateway
    bool imageSent;
};

class RollCallCli : public ::testing::TestWithParam<Case> {};

TEST_P(RollCallCli, PrintsTheRollCallAndExitsByTheKnownGateways) {
    const Case& c = GetParam();
    const bool restore = c.command.front() == "restore";
    const int subnetN = restore ? subnets::cli::kRollCallRestore : subnets::cli::kRollCallUpgrade;
    TempProgramDir dir("orva-cli-rollcall");
    dir.writeSettings(subnetN, {{"rollcalltime", "1"},
                                {"resetlistentime", "1"},
                                {"updatelistentime", "2"},
                                {"waittime", "0"},
                                {"upgradeinterval", "0.0005"},
                                {"Language", c.language}});
    std::unique_ptr<sim::GatewaySimulator> sim;
    ASSERT_TRUE(StartSimulator(sim, subnetN, {.gateways = 3, .sn = "GW", .overrides = c.overrides}));
    std::string image(3000, '\x5a');
    writeFile(dir.file("image.bin"), image);

    std::vector<std::string> args = {"--dir", dir.path(), "--user", "tech01", "--password", "pw"};
    for (const std::string& word : c.command)
        args.push_back(word == "IMAGE" ? dir.file("image.bin") : word);
    const CliOutcome r = RunCli(args);
    EXPECT_EQ(r.code, c.code) << r.out << r.err;
    const std::vector<std::string> lines = Lines(r.out);
    const std::string address = gatewayAddress(subnetN);
    for (std::string want : c.expected) {
        if (const auto at = want.find("ADDR"); at != std::string::npos)
            want.replace(at, 4, address);
        EXPECT_NE(std::find(lines.begin(), lines.end(), want), lines.end()) << want << "\n" << r.out;
    }
    EXPECT_EQ(CountContaining(lines, c.language == std::string("English") ? "present." : "在线。"),
              c.presentLines + (c.presentLines > 0 ? 1 : 0))
        << r.out;
    if (c.presentLines == 0) {
        EXPECT_EQ(CountContaining(lines, "roll-call"), 0u) << r.out;
    }
    bool image_ = false;
    for (const auto& e : sim->journal())
        image_ |= e.kind == sim::JournalEntry::Kind::Image;
    EXPECT_EQ(image_, c.imageSent);
    sim->stop();
}

const Case kCases[] = {
    {"StatusAllAnswer",
     {"upgrade-status"},
     {},
     "Chinese",
     0,
     {"3 gateways answered: 3 upgraded, 0 failed, 0 unknown", "roll-call: 3 gateways known, 3 upgraded, 0 never answered"},
     3,
     false},
    {"StatusOneSilent",
     {"upgrade-status"},
     {Silent("QUERY_UPGRADE_MSG", 3)},
     "Chinese",
     1,
     {"SN = GW-3（ADDR）在点名中在线，但未应答升级状态查询。", "2 gateways answered: 2 upgraded, 0 failed, 0 unknown",
      "roll-call: 3 gateways known, 2 upgraded, 1 never answered"},
     3,
     false},
    {"StatusInEnglish",
     {"upgrade-status"},
     {Silent("QUERY_UPGRADE_MSG", 1)},
     "English",
     1,
     {"Roll-call: SN = GW-2 (ADDR) is present.", "Roll-call: 3 gateways present.",
      "SN = GW (ADDR) answered the roll-call but never answered the upgrade check."},
     3,
     false},
    {"StatusWithoutRollCall",
     {"upgrade-status"},
     {Silent("QUERY_UPGRADE_MSG", 3), Silent("QUERY_SYSTEM_INFO", 0)},
     "Chinese",
     0,
     {"2 gateways answered: 2 upgraded, 0 failed, 0 unknown"},
     0,
     false},
    {"UpgradeOneSilent",
     {"upgrade", "--image", "IMAGE"},
     {Silent("QUERY_UPGRADE_MSG", 2)},
     "Chinese",
     1,
     {"SN = GW-2（ADDR）在点名中在线，但未应答升级状态查询。", "roll-call: 3 gateways known, 2 upgraded, 1 never answered"},
     3,
     true},
    {"UpgradeAllAnswer",
     {"upgrade", "--image", "IMAGE"},
     {},
     "Chinese",
     0,
     {"roll-call: 3 gateways known, 3 upgraded, 0 never answered"},
     3,
     true},
    {"RestoreOneSilent",
     {"restore", "--yes", "--reply-timeout", "1"},
     {Silent("HG_REVOCERY_PRECONFIG", 2)},
     "Chinese",
     1,
     {"点名：SN = GW（ADDR）在线。", "SN = GW-2（ADDR）在点名中在线，但未应答恢复出厂设置。",
      "2 gateways answered: 2 restored, 0 failed", "roll-call: 3 gateways known, 2 restored, 1 never answered"},
     3,
     false},
    {"RestoreWithoutRollCall",
     {"restore", "--yes", "--reply-timeout", "1"},
     {Silent("HG_REVOCERY_PRECONFIG", 2), Silent("QUERY_SYSTEM_INFO", 0)},
     "Chinese",
     0,
     {"2 gateways answered: 2 restored, 0 failed"},
     0,
     false},
};

INSTANTIATE_TEST_SUITE_P(Cases, RollCallCli, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

// The help of each command says what its exit code means with a roll-call.
TEST(RollCallCliHelp, FootersExplainTheRollCall) {
    for (const char* command : {"restore", "upgrade", "upgrade-status"}) {
        const CliOutcome r = RunCli({command, "--help"});
        EXPECT_EQ(r.code, 0) << command;
        EXPECT_NE(r.out.find("With a roll-call"), std::string::npos) << command << "\n" << r.out;
        EXPECT_NE(r.out.find("never answered"), std::string::npos) << command << "\n" << r.out;
    }
}

} // namespace rollcall_cli
} // namespace orva::test

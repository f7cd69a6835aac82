// orva-cli's command line as people and scripts meet it: help and version, usage errors that name what
// is wrong, the model taken from the gateway, and what is asked on a terminal.
#include "CliRunner.h"
#include "CliTerminal.h"

#include "core/web/LoginFile.h"

#include "SimulatorPeers.h"
#include "TestSubnets.h"
#include "TestSupport.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace orva::test {
namespace {

constexpr int kLineSubnet = orva::test::subnets::cli::kCommandLine;
constexpr int kTerminalSubnet = orva::test::subnets::cli::kTerminal;

bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

class CommandLineTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir.writeSettings(kLineSubnet, {{"RunNet", "0"}, {"resetlistentime", "1"}});
        writeFile(dir.file("res/device.ini"), readFile(std::string(ORVA_TEST_SOURCE_DIR) + "/res/device.ini"));
    }
    void TearDown() override {
        if (sim)
            sim->stop();
    }
    void startSimulator(const std::string& model) {
        ASSERT_TRUE(StartSimulator(sim, kLineSubnet, {.model = model, .sn = "CMD0001"}));
    }
    std::vector<std::string> logged(const std::vector<std::string>& words) const {
        std::vector<std::string> args = {"--dir", dir.path(), "--user", "tech01", "--password", "pw"};
        args.insert(args.end(), words.begin(), words.end());
        return args;
    }

    TempProgramDir dir{"orva-cli-line"};
    std::unique_ptr<sim::GatewaySimulator> sim;
};

// Help and version go to standard output with exit 0, and need no setting.ini.
TEST(CommandLineHelp, HelpAndVersionOnStandardOutput) {
    TempProgramDir empty("orva-cli-help");
    struct Case {
        std::vector<std::string> words;
        std::vector<std::string> shown;
    };
    const std::vector<Case> cases = {
        {{"--help"}, {"Usage: orva-cli [OPTIONS] SUBCOMMAND", "diagnose", "Exit codes:", "ORVA_HOME"}},
        {{"help"}, {"Usage: orva-cli [OPTIONS] SUBCOMMAND", "upgrade"}},
        {{"diagnose", "--help"}, {"Usage: orva-cli diagnose [OPTIONS]", "--answers LIST", "--model MODEL"}},
        {{"help", "diagnose"}, {"Usage: orva-cli diagnose [OPTIONS]", "--reply-timeout SECONDS"}},
        {{"logs", "-h"}, {"Usage: orva-cli logs [OPTIONS]", "--from YYYY-MM-DD", "--xls FILE"}},
        {{"station", "--help"},
         {"Usage: orva-cli station [OPTIONS]", "--junit FILE", "--answers LIST", "Exit: 0 every unit passed",
          "2 no unit was diagnosed"}},
        {{"--user", "u", "restore", "--help"}, {"Usage: orva-cli restore [OPTIONS]", "-y,--yes"}},
        {{"--version"}, {"orva-cli " ORVA_VERSION "\nprogram directory: " + empty.path() + "\n"}},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = {"--dir", empty.path()};
        args.insert(args.end(), c.words.begin(), c.words.end());
        SCOPED_TRACE(c.words.front() + " " + c.words.back());
        const CliOutcome o = RunCli(args);
        EXPECT_EQ(o.code, 0) << o.err;
        EXPECT_EQ(o.err, "");
        for (const auto& part : c.shown)
            EXPECT_TRUE(Has(o.out, part)) << part << "\n" << o.out;
    }
}

// Every usage error ends with 64 before anything is sent, and its message names what is wrong.
TEST_F(CommandLineTest, UsageErrorsNameWhatIsWrong) {
    startSimulator("KT540G");
    struct Case {
        std::vector<std::string> words;
        std::string said;
    };
    const std::vector<Case> cases = {
        {{}, "Usage: orva-cli"},
        {{"frobnicate"}, "unknown command 'frobnicate'"},
        {{"help", "frobnicate"}, "unknown command 'frobnicate'"},
        {{"diagnose", "--bogus"}, "--bogus"},
        {{"identify", "--address", "banana"}, "--address: 'banana' is not an IPv4 address"},
        {{"identify", "--address", "999.1.1.1"}, "'999.1.1.1' is not an IPv4 address"},
        {{"diagnose", "--address", "127.0.0"}, "'127.0.0' is not an IPv4 address"},
        {{"diagnose", "--reply-timeout", "0"}, "--reply-timeout"},
        {{"diagnose", "--reply-timeout", "soon"}, "--reply-timeout"},
        {{"diagnose", "--answers", "ring3=no"}, "bad answer 'ring3=no'"},
        {{"diagnose", "--answers", "yes", "--model", "NOPE"}, "--model NOPE: " },
        {{"diagnose"}, "there is no terminal to answer them"},
        {{"station"}, "there is no terminal to answer them"},
        {{"station", "--answers", "yes", "--model", "NOPE"}, "--model NOPE: "},
        {{"station", "--answers", "maybe"}, "bad answer 'maybe'"},
        {{"station", "--answers", "yes", "--junit", ""}, "--junit"},
        {{"station", "--answers", "yes", "--junit", "/nonexistent/dir/station.xml"},
         "--junit /nonexistent/dir/station.xml: cannot create /nonexistent/dir/station.xml.tmp"},
        {{"station", "--answers", "yes", "--address", "127.0.0"}, "'127.0.0' is not an IPv4 address"},
        {{"logs", "--from", "2026-3-1"}, "--from: '2026-3-1' is no date written YYYY-MM-DD"},
        {{"logs", "--sn", "X", "--operator", "Y"}, "--sn and --operator cannot be combined"},
        {{"logs", "--device-type", "KT540G", "--from", "2026-01-01"}, "--device-type and --from cannot be combined"},
        {{"logs", "--xls", ""}, "--xls"},
        {{"upgrade"}, "--image is required"},
        {{"restore", "--reply-timeout", "1"}, "give --yes"},
        {{"--user"}, "--user"},
    };
    for (const auto& c : cases) {
        std::string name;
        for (const auto& w : c.words)
            name += w + " ";
        SCOPED_TRACE(name);
        const CliOutcome o = RunCli(logged(c.words));
        EXPECT_EQ(o.code, 64) << o.out << o.err;
        EXPECT_TRUE(Has(o.err, c.said)) << o.err;
    }
    // The model list is named with the unknown model.
    const CliOutcome nope = RunCli(logged({"diagnose", "--answers", "yes", "--model", "NOPE"}));
    EXPECT_TRUE(Has(nope.err, "(models: KT540G, KT540G-U, KT593G, KT310, KT310-U)")) << nope.err;
    // Not one of them reached the gateway.
    EXPECT_TRUE(sim->commands().empty());
}

// A Language that is neither Chinese nor English is said, and Chinese is used: nothing shows empty.
TEST_F(CommandLineTest, AnUnknownLanguageIsSaidAndChineseUsed) {
    dir.writeSettings(kLineSubnet, {{"RunNet", "0"}, {"Language", "Klingon"}});
    const CliOutcome o = RunCli(logged({"logs", "--sn", "NONE"}));
    EXPECT_EQ(o.code, 0) << o.err;
    EXPECT_TRUE(Has(o.err, "Language=Klingon in setting.ini is neither Chinese nor English; Chinese is used")) << o.err;
    EXPECT_TRUE(Has(o.out, "ID\tMac地址\t")) << o.out;
}

// Without --model the gateway says which model it is; a model is matched whatever its letter case.
TEST_F(CommandLineTest, TheModelComesFromTheGatewayOrAnyCaseOfItsName) {
    struct Case {
        const char* name;
        std::string gateway; // the simulated gateway's model; empty: none answers
        std::vector<std::string> model;
        int code;
        std::string said;   // on standard error
        std::string runAs;  // the JSON document's model, for a run that went ahead
    };
    const std::vector<Case> cases = {
        {"FromTheGateway", "KT310", {}, 0, "the gateway at " + gatewayAddress(kLineSubnet) + " is a KT310", "KT310"},
        {"AnyLetterCase", "KT593G", {"--model", "kt593g"}, 0, "设备选择成功", "KT593G"},
        {"UnlistedGatewayModel", "KT999", {}, 64, "is a KT999, which", ""},
        {"NoGateway", "", {}, 2, "no gateway told its model at " + gatewayAddress(kLineSubnet), ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (!c.gateway.empty())
            startSimulator(c.gateway);
        std::vector<std::string> words = {"diagnose", "--answers", "yes", "--reply-timeout", "1", "--json"};
        words.insert(words.end(), c.model.begin(), c.model.end());
        const CliOutcome o = RunCli(logged(words));
        EXPECT_EQ(o.code, c.code) << o.out << o.err;
        EXPECT_TRUE(Has(o.err, c.said)) << o.err;
        if (!c.runAs.empty()) {
            const auto doc = nlohmann::json::parse(o.out, nullptr, false);
            EXPECT_EQ(doc.value("model", ""), c.runAs) << o.out;
            EXPECT_EQ(doc.value("outcome", ""), "finished") << o.out;
        }
        if (sim) {
            sim->stop();
            sim.reset();
        }
    }
}

class TerminalTest : public ::testing::Test {
protected:
    void SetUp() override {
        // The login service does not answer: the offline list decides.
        dir.writeSettings(kTerminalSubnet, {{"RunNet", "1"}, {"resetlistentime", "1"}});
        ASSERT_TRUE(RememberCredentials(dir.file("res/login.xml"), "tech01", "pw"));
    }
    void TearDown() override {
        if (sim)
            sim->stop();
    }
    TempProgramDir dir{"orva-cli-tty"};
    std::unique_ptr<sim::GatewaySimulator> sim;
};

// No password on the command line: it is asked for on the terminal, without echo, and used.
TEST_F(TerminalTest, APasswordIsAskedWithoutEchoAndUsed) {
    struct Case {
        const char* typed;
        int code;
        std::string said;
    };
    const std::vector<Case> cases = {
        {"pw", 0, "离线登录成功!"},
        {"wrong", 77, "offline login knows only users who have logged in online once"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed);
        CliTerminal tty({"--dir", dir.path(), "--user", "tech01", "logs"});
        ASSERT_TRUE(tty.waitFor("password for tech01: ")) << tty.screen();
        EXPECT_FALSE(tty.echoing());
        const size_t asked = tty.screen().size();
        tty.type(std::string(c.typed) + "\n");
        EXPECT_EQ(tty.finish(), c.code) << tty.screen();
        EXPECT_FALSE(Has(tty.screen().substr(asked), c.typed)) << tty.screen();
        EXPECT_TRUE(Has(tty.screen(), c.said)) << tty.screen();
    }
}

// On a terminal a restore asks first; No sends nothing.
TEST_F(TerminalTest, ARestoreAsksFirst) {
    ASSERT_TRUE(StartSimulator(sim, kTerminalSubnet, {.sn = "TTY-1"}));
    const std::string question = "Every gateway on 127.0." + std::to_string(kTerminalSubnet) +
                                 ".0/24 will be restored to its factory defaults and lose its configuration. "
                                 "Continue? [y/N] ";
    struct Case {
        const char* typed;
        int code;
        bool sent;
    };
    for (const Case c : {Case{"", 2, false}, Case{"n", 2, false}, Case{"y", 0, true}}) {
        SCOPED_TRACE(c.typed);
        CliTerminal tty({"--dir", dir.path(), "--user", "tech01", "--password", "pw", "restore", "--reply-timeout",
                         "1"});
        ASSERT_TRUE(tty.waitFor(question)) << tty.screen();
        tty.type(std::string(c.typed) + "\n");
        EXPECT_EQ(tty.finish(), c.code) << tty.screen();
        bool restored = false;
        for (const auto& command : sim->commands())
            restored = restored || command.rfind("HG_REVOCERY_PRECONFIG", 0) == 0;
        EXPECT_EQ(restored, c.sent) << tty.screen();
        EXPECT_EQ(Has(tty.screen(), "1 gateways answered: 1 restored, 0 failed"), c.sent) << tty.screen();
    }
}

} // namespace
} // namespace orva::test

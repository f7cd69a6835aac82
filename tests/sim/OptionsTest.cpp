// Command-line syntax of the simulator: commands with blanks and '=' must survive as prefixes.
#include "sim/Options.h"

#include <gtest/gtest.h>

namespace orva::sim {
namespace {

bool parse(const std::vector<std::string>& args, Options& o, std::string& error) {
    bool help = false;
    const Result<void> parsed = ParseCommandLine(args, o, help);
    error = parsed.error();
    return parsed.ok();
}

TEST(SimOptions, OverrideSyntaxCarriesCommandsWithBlanksAndEquals) {
    Options o;
    std::string error;
    ASSERT_TRUE(parse({"--address",     "127.0.51.1",
                       "--gateways",    "3",
                       "--model",       "KT310",
                       "--sn",          "S1",
                       "--override",    "HG_HARDWARE_DIAG STEP=1 FENUM=2",
                       "FESTATUS=DOWN", "delay=20",
                       "gateway=2",     "drop=STEP",
                       "--status",      "HG_SOFTWARE_DIAG STEP=7=UNRECOGNIZE_REQUEST",
                       "--delay",       "CONNECT=250",
                       "--no-reply",    "HG_SOFTWARE_DIAG STEP=4",
                       "--override",    "QUERY_SYSTEM_INFO",
                       "raw=A=B C",     "payload=xyz",
                       "--journal",     "/tmp/j.jsonl"},
                      o, error))
        << error;
    EXPECT_EQ(o.address, "127.0.51.1");
    EXPECT_EQ(o.gateways, 3);
    EXPECT_EQ(o.model, "KT310");
    EXPECT_EQ(o.sn, "S1");
    EXPECT_EQ(o.journalFile, "/tmp/j.jsonl");
    ASSERT_EQ(o.overrides.size(), 5u);

    const Override& lan = o.overrides[0];
    EXPECT_EQ(lan.prefix, "HG_HARDWARE_DIAG STEP=1 FENUM=2");
    ASSERT_EQ(lan.fields.size(), 1u);
    EXPECT_EQ(lan.fields[0], (std::pair<std::string, std::string>{"FESTATUS", "DOWN"}));
    EXPECT_EQ(lan.delayMs, 20);
    EXPECT_EQ(lan.gateway, 2);
    EXPECT_EQ(lan.drop, std::vector<std::string>{"STEP"});

    EXPECT_EQ(o.overrides[1].prefix, "HG_SOFTWARE_DIAG STEP=7");
    EXPECT_EQ(o.overrides[1].status, "UNRECOGNIZE_REQUEST");
    EXPECT_EQ(o.overrides[2].prefix, "CONNECT");
    EXPECT_EQ(o.overrides[2].delayMs, 250);
    EXPECT_EQ(o.overrides[3].prefix, "HG_SOFTWARE_DIAG STEP=4");
    EXPECT_TRUE(o.overrides[3].noReply);
    EXPECT_EQ(o.overrides[4].raw, "A=B C");
    EXPECT_EQ(o.overrides[4].payload, "xyz");
}

TEST(SimOptions, DroppedImageDatagramsAreRepeatable) {
    Options o;
    std::string error;
    ASSERT_TRUE(parse({"--drop-image-datagram", "3", "--drop-image-datagram", "70000"}, o, error)) << error;
    EXPECT_EQ(o.dropImageDatagrams, (std::vector<int>{3, 70000}));
}

TEST(SimOptions, ServiceEndpointOptions) {
    Options o;
    std::string error;
    ASSERT_TRUE(parse({"--http", "127.0.0.1:18080", "--https", "127.0.0.1:18443", "--cert", "c.pem", "--key", "k.pem",
                       "--user", "alice:pa:ss", "--user", "bob:", "--update-version", "12", "--reports", "r.jsonl",
                       "--report-mode", "html500"},
                      o, error))
        << error;
    EXPECT_EQ(o.http, "127.0.0.1:18080");
    EXPECT_EQ(o.https, "127.0.0.1:18443");
    EXPECT_EQ(o.certFile, "c.pem");
    EXPECT_EQ(o.keyFile, "k.pem");
    ASSERT_EQ(o.users.size(), 2u);
    EXPECT_EQ(o.users[0].name, "alice");
    EXPECT_EQ(o.users[0].password, "pa:ss");
    EXPECT_EQ(o.users[1].password, "");
    EXPECT_EQ(o.updateVersion, "12");
    EXPECT_EQ(o.reportsFile, "r.jsonl");
    EXPECT_EQ(o.reportMode, ReportMode::Html500);
}

TEST(SimOptions, BadUsageIsRefusedWithAReason) {
    struct Case {
        std::vector<std::string> args;
        std::string error;
    };
    const std::vector<Case> cases = {
        {{"--bogus"}, "unknown option"},
        {{"--address"}, "needs a value"},
        {{"--gateways", "0"}, "bad --gateways"},
        {{"--gateways", "2x"}, "bad --gateways"},
        {{"--override", "CONNECT"}, "at least one setting"},
        {{"--override", "CONNECT", "--gateways", "2"}, "at least one setting"},
        {{"--override", "CONNECT", "delay=soon"}, "bad delay"},
        {{"--override", "CONNECT", "gateway=0"}, "bad gateway"},
        {{"--override", "CONNECT", "quiet"}, "bad override setting"},
        {{"--override", "CONNECT", "=x"}, "bad override setting"},
        {{"--delay", "CONNECT"}, "PREFIX=VALUE"},
        {{"--user", "nobody"}, "NAME:PASSWORD"},
        {{"--report-mode", "loud"}, "bad --report-mode"},
        {{"--drop-image-datagram", "0"}, "bad --drop-image-datagram"},
        {{"--drop-image-datagram", "first"}, "bad --drop-image-datagram"},
        {{"--drop-image-datagram"}, "needs a value"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.front());
        Options o;
        std::string error;
        EXPECT_FALSE(parse(c.args, o, error));
        EXPECT_NE(error.find(c.error), std::string::npos) << error;
    }
}

TEST(SimOptions, HelpStopsParsing) {
    Options o;
    bool help = false;
    EXPECT_TRUE(ParseCommandLine({"--help", "--bogus"}, o, help).ok());
    EXPECT_TRUE(help);
    EXPECT_NE(UsageText().find("--override PREFIX SETTING"), std::string::npos);
    Options v;
    EXPECT_TRUE(ParseCommandLine({"--version", "--bogus"}, v, help).ok());
    EXPECT_TRUE(v.showVersion);
    EXPECT_FALSE(help);
}

} // namespace
} // namespace orva::sim

// orva-gateway-sim as a process: the ready line, answers, overrides from the command line, SIGTERM.
#include "ChildProcess.h"
#include "TestSubnets.h"
#include "TestSupport.h"
#include "UdpTestClient.h"

#include <gtest/gtest.h>
#include <httplib.h>

#include <csignal>
#include <cstdlib>
#include <string>
#include <vector>

namespace orva::sim {
namespace {

std::string programPath() {
    const char* dir = std::getenv("ORVA_BIN_DIR");
    return std::string(dir ? dir : "bin") + "/orva-gateway-sim";
}

// The first line the program writes (its ready line), waiting for it as long as the program is busy.
std::string firstLine(test::ChildProcess& p) {
    p.waitForLines(1, 10000);
    const std::string& out = p.readFor(0);
    return out.substr(0, out.find('\n') + 1);
}

TEST(GatewaySimProgram, AnswersUntilSigterm) {
    const std::string address = orva::test::gatewayAddress(orva::test::subnets::sim::kProgram);
    test::ChildProcess p(programPath(), {"--address", address, "--model", "KT593G", "--override", "HG_HARDWARE_DIAG STEP=1 FENUM=2",
                                         "FESTATUS=DOWN", "--status", "HG_SOFTWARE_DIAG STEP=7=UNRECOGNIZE_REQUEST"});
    std::string ready = firstLine(p);
    ASSERT_TRUE(ready.starts_with("orva-gateway-sim listening on " + address + " (")) << ready;

    test::UdpTestClient client;
    EXPECT_EQ(client.exchange(address, 7998, "CONNECT"), "CONNECT_SUCC");
    EXPECT_NE(client.exchange(address, 7998, "QUERY_SYSTEM_INFO").find(" PRODUCTCLASS=KT593G "), std::string::npos);
    EXPECT_EQ(client.exchange(address, 7999, "HG_HARDWARE_DIAG STEP=1 FENUM=2"),
              "HG_HARDWARE_DIAG_SUCC STEP=1 FESTATUS=DOWN");
    EXPECT_TRUE(client.exchange(address, 7998, "HG_SOFTWARE_DIAG STEP=7").starts_with("UNRECOGNIZE_REQUEST"));

    p.kill(SIGTERM);
    EXPECT_EQ(p.finish().code, 0);
}

TEST(GatewaySimProgram, ServesTheWebEndpointsOnAPortItPicks) {
    test::ChildProcess p(programPath(),
                         {"--no-udp", "--http", "127.0.0.1:0", "--user", "tech:pw", "--update-version", "99"});
    std::string ready = firstLine(p);
    const std::string prefix = "orva-gateway-sim listening on 127.0.0.1:";
    ASSERT_TRUE(ready.starts_with(prefix)) << ready;
    int port = std::atoi(ready.c_str() + prefix.size());
    ASSERT_GT(port, 0) << ready;

    httplib::Client client("127.0.0.1", port);
    auto res = client.Post("/login",
                           "<SoftWareLogin><CurrentSoftWareVersion>11-2.2-33333333</CurrentSoftWareVersion>"
                           "<UserName>tech</UserName><UserPassWD>pw</UserPassWD></SoftWareLogin>",
                           "text/xml");
    ASSERT_TRUE(res);
    EXPECT_NE(res->body.find("<LoginResult>success</LoginResult><UpdateSoftWareVersion>99</UpdateSoftWareVersion>"),
              std::string::npos)
        << res->body;

    p.kill(SIGTERM);
    EXPECT_EQ(p.finish().code, 0);
}

TEST(GatewaySimProgram, HelpAndRefusals) {
    struct Case {
        std::vector<std::string> args;
        int exitCode;
        std::string output; // expected on standard output
    };
    const std::vector<Case> cases = {
        {{"--help"}, 0, "--override PREFIX SETTING"},
        {{"--version"}, 0, "orva-gateway-sim " ORVA_VERSION "\nprogram directory: none"},
        {{"--address", "0.0.0.0"}, 2, ""},  // refused before anything is bound
        {{"--address", "10.9.8.7"}, 2, ""}, // refused: non-loopback
        {{"--gateways", "none"}, 2, ""},
        {{"--no-udp", "--http", "0.0.0.0:0"}, 2, ""}, // refused: every interface
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.back());
        test::ChildProcess p(programPath(), c.args);
        const test::ChildOutcome outcome = p.finish();
        const std::string& out = outcome.out;
        EXPECT_EQ(outcome.code, c.exitCode);
        if (c.output.empty())
            EXPECT_EQ(out, "");
        else
            EXPECT_NE(out.find(c.output), std::string::npos);
    }
}

} // namespace
} // namespace orva::sim

// orva-gateway-sim as a process: the ready line, answers, overrides from the command line, SIGTERM.
#include "TestSubnets.h"
#include "TestSupport.h"
#include "UdpTestClient.h"

#include <gtest/gtest.h>
#include <httplib.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace orva::sim {
namespace {

std::string programPath() {
    const char* dir = std::getenv("ORVA_BIN_DIR");
    return std::string(dir ? dir : "bin") + "/orva-gateway-sim";
}

// The program with its standard output on a pipe; killed at the end if still running.
class Program {
public:
    explicit Program(const std::vector<std::string>& args) {
        int fds[2];
        if (::pipe(fds) != 0)
            return;
        pid_ = ::fork();
        if (pid_ == 0) {
            ::dup2(fds[1], 1);
            ::close(fds[0]);
            ::close(fds[1]);
            std::vector<std::string> all{programPath()};
            all.insert(all.end(), args.begin(), args.end());
            std::vector<char*> argv;
            for (auto& a : all)
                argv.push_back(a.data());
            argv.push_back(nullptr);
            ::execv(argv[0], argv.data());
            ::_exit(127);
        }
        ::close(fds[1]);
        out_ = ::fdopen(fds[0], "r");
    }
    ~Program() {
        if (pid_ > 0 && !waited_) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        if (out_)
            std::fclose(out_);
    }
    std::string readLine() {
        char buf[4096];
        if (!out_ || !std::fgets(buf, sizeof buf, out_))
            return {};
        return buf;
    }
    std::string readAll() {
        std::string all, line;
        while (!(line = readLine()).empty())
            all += line;
        return all;
    }
    // The exit code, or -1 when it did not exit normally.
    int wait() {
        int status = 0;
        ::waitpid(pid_, &status, 0);
        waited_ = true;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    void signal(int sig) { ::kill(pid_, sig); }

private:
    pid_t pid_ = -1;
    FILE* out_ = nullptr;
    bool waited_ = false;
};

TEST(GatewaySimProgram, AnswersUntilSigterm) {
    const std::string address = orva::test::gatewayAddress(orva::test::subnets::sim::kProgram);
    Program p({"--address", address, "--model", "KT593G", "--override", "HG_HARDWARE_DIAG STEP=1 FENUM=2",
               "FESTATUS=DOWN", "--status", "HG_SOFTWARE_DIAG STEP=7=UNRECOGNIZE_REQUEST"});
    std::string ready = p.readLine();
    ASSERT_TRUE(ready.starts_with("orva-gateway-sim listening on " + address + " (")) << ready;

    test::UdpTestClient client;
    EXPECT_EQ(client.exchange(address, 7998, "CONNECT"), "CONNECT_SUCC");
    EXPECT_NE(client.exchange(address, 7998, "QUERY_SYSTEM_INFO").find(" PRODUCTCLASS=KT593G "), std::string::npos);
    EXPECT_EQ(client.exchange(address, 7999, "HG_HARDWARE_DIAG STEP=1 FENUM=2"),
              "HG_HARDWARE_DIAG_SUCC STEP=1 FESTATUS=DOWN");
    EXPECT_TRUE(client.exchange(address, 7998, "HG_SOFTWARE_DIAG STEP=7").starts_with("UNRECOGNIZE_REQUEST"));

    p.signal(SIGTERM);
    EXPECT_EQ(p.wait(), 0);
}

TEST(GatewaySimProgram, ServesTheWebEndpointsOnAPortItPicks) {
    Program p({"--no-udp", "--http", "127.0.0.1:0", "--user", "tech:pw", "--update-version", "99"});
    std::string ready = p.readLine();
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

    p.signal(SIGTERM);
    EXPECT_EQ(p.wait(), 0);
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
        Program p(c.args);
        std::string out = p.readAll();
        EXPECT_EQ(p.wait(), c.exitCode);
        if (c.output.empty())
            EXPECT_EQ(out, "");
        else
            EXPECT_NE(out.find(c.output), std::string::npos);
    }
}

} // namespace
} // namespace orva::sim

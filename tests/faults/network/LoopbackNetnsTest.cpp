// The loopback guard proven where a broken guard could do no harm: every send to a real address is
// made in a child process that has a network namespace of its own, with nothing but its loopback
// interface, so even a guard that let the datagram through would reach no network. The assertions
// are on the guard's refusal text; the kernel's "network unreachable" would come out as the
// channel's send error instead, and fail them.
#include "core/app/LoopbackGuard.h"
#include "core/maintenance/ImageTransfer.h"
#include "core/protocol/CommandChannel.h"

#include "CliRunner.h"
#include "TestSubnets.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <ifaddrs.h>
#include <sched.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <functional>
#include <set>
#include <sstream>

namespace orva::test {
namespace {

constexpr int kNetnsSubnet = orva::test::subnets::faults_netns::kNetns;

// Addresses outside loopback: a documentation address, the built-in gateway and segment defaults, and
// the limited broadcast.
const std::vector<std::string> kRealAddresses = {
    "192.0.2.1",
    "192.168.1.1",   // must be refused, and only ever tried inside a namespace with loopback alone
    "192.168.1.255", // must be refused, and only ever tried inside a namespace with loopback alone
    "255.255.255.255",
};

// What became of running `body` in a fresh network namespace.
struct NetnsRun {
    bool ran = false;
    std::string skipReason; // set when the namespace could not be had (not root, no permission)
    std::string output;     // what body returned
    std::set<std::string> interfaces;
};

// Forks a child that leaves this process's network namespace for a new, empty one before it makes
// any socket, runs `body` there and hands back its text through a pipe.
NetnsRun InFreshNetworkNamespace(const std::function<std::string()>& body) {
    NetnsRun run;
    if (::geteuid() != 0) {
        run.skipReason = "needs root: a network namespace of its own (unshare CLONE_NEWNET) keeps the "
                         "sends to real addresses off every network";
        return run;
    }
    int pipeFds[2];
    if (::pipe(pipeFds) != 0) {
        ADD_FAILURE() << "pipe: " << std::strerror(errno);
        return run;
    }
    const pid_t pid = ::fork();
    if (pid < 0) {
        ADD_FAILURE() << "fork: " << std::strerror(errno);
        return run;
    }
    if (pid == 0) {
        ::close(pipeFds[0]);
        std::string text;
        int code = 0;
        if (::unshare(CLONE_NEWNET) != 0) {
            text = std::string("unshare(CLONE_NEWNET): ") + std::strerror(errno);
            code = 3;
        } else {
            // The interfaces first, one a line, then an empty line, then the body's text.
            ifaddrs* list = nullptr;
            std::set<std::string> names;
            if (::getifaddrs(&list) == 0) {
                for (const ifaddrs* i = list; i; i = i->ifa_next)
                    names.insert(i->ifa_name);
                ::freeifaddrs(list);
            }
            for (const auto& n : names)
                text += n + "\n";
            text += "\n" + body();
        }
        for (size_t done = 0; done < text.size();) {
            const ssize_t n = ::write(pipeFds[1], text.data() + done, text.size() - done);
            if (n <= 0)
                break;
            done += static_cast<size_t>(n);
        }
        ::close(pipeFds[1]);
        ::_exit(code);
    }
    ::close(pipeFds[1]);
    std::string text;
    char buffer[4096];
    for (ssize_t n; (n = ::read(pipeFds[0], buffer, sizeof buffer)) > 0;)
        text.append(buffer, static_cast<size_t>(n));
    ::close(pipeFds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (WIFEXITED(status) && WEXITSTATUS(status) == 3) {
        run.skipReason = "no network namespace of its own: " + text;
        return run;
    }
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "child status " << status;
    const size_t split = text.find("\n\n");
    std::istringstream names(text.substr(0, split == std::string::npos ? 0 : split));
    for (std::string name; std::getline(names, name);)
        run.interfaces.insert(name);
    run.output = split == std::string::npos ? text : text.substr(split + 2);
    run.ran = true;
    return run;
}

class LoopbackNetnsTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!kLoopbackOnly)
            GTEST_SKIP() << "built with ORVA_LOOPBACK_ONLY=OFF: there is no guard to prove";
    }

    // Runs body in the namespace, skipping the test when there is none to be had.
    std::string inNamespace(const std::function<std::string()>& body) {
        const NetnsRun run = InFreshNetworkNamespace(body);
        if (!run.ran) {
            skipped_ = run.skipReason;
            return {};
        }
        EXPECT_EQ(run.interfaces, std::set<std::string>{"lo"}) << "the namespace is not empty";
        return run.output;
    }
    std::string skipped_;
};

// One line per address and way of sending: "<address> <way> <result>|<error text>".
std::string Expected(const std::function<std::string(const std::string&)>& line) {
    std::string text;
    for (const auto& address : kRealAddresses)
        text += line(address);
    return text;
}

TEST_F(LoopbackNetnsTest, ChannelAndImageTransferRefuseEveryRealAddress) {
    const std::string output = inNamespace([] {
        std::string out;
        auto& channel = CommandChannel::Instance();
        channel.SetReplyTimeout(1);
        channel.SetListenTime(1);
        channel.SetPort(7998);
        for (const auto& address : kRealAddresses) {
            channel.SetAddress(address);
            std::string reply = "untouched", error;
            const int sent = channel.Transact("CONNECT", reply, error, 1);
            out += address + " transact " + std::to_string(sent) + "|" + error + "|" + reply + "\n";
            error.clear();
            int heard = 0;
            const int listened = channel.SendAndListen(
                "HG_REVOCERY_PRECONFIG", [&](const std::string&) { ++heard; }, error);
            out += address + " listen " + std::to_string(listened) + "|" + error + "|" + std::to_string(heard) + "\n";

            ImageTransferOptions options;
            options.address = address;
            options.interval = std::chrono::nanoseconds(0);
            const TransferResult r = SendImage(std::string(2'500, 'I'), options, [](int) {}, {});
            out += address + " image " + std::to_string(static_cast<int>(r.outcome)) + "|" + r.failureLine + "|" +
                   std::to_string(r.dataDatagramsSent) + "\n";
        }
        return out;
    });
    if (!skipped_.empty())
        GTEST_SKIP() << skipped_;
    EXPECT_EQ(output, Expected([](const std::string& a) {
                  const std::string refusal = LoopbackRefusal(a);
                  return a + " transact -1|" + refusal + "|untouched\n" + a + " listen -1|" + refusal + "|0\n" + a +
                         " image " + std::to_string(static_cast<int>(TransferOutcome::Failed)) + "|" + refusal + "|0\n";
              }));
}

// orva-cli reports the refusal like any failed exchange: the line of the failed CONNECT, no identity,
// the exit code of an exchange that found no gateway.
TEST_F(LoopbackNetnsTest, CliIdentifyPrintsTheRefusalAndFails) {
    TempProgramDir dir("orva-netns");
    dir.writeSettings(kNetnsSubnet);
    const std::string output = inNamespace([&] {
        const CliOutcome r = RunCli({"--dir", dir.path(), "identify", "--address", "192.0.2.1"});
        return std::to_string(r.code) + "\n" + r.out + "--\n" + r.err;
    });
    if (!skipped_.empty())
        GTEST_SKIP() << skipped_;
    std::string refusal = LoopbackRefusal("192.0.2.1");
    refusal.pop_back(); // the CLI prints the error text without its line end
    EXPECT_EQ(output, "2\naddress 192.0.2.1 port 7998\nCONNECT failed: " + refusal +
                          "\nidentity not read\n--\nconnecting to 192.0.2.1 …\n");
}

} // namespace
} // namespace orva::test

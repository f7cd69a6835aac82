// Datagrams the tool never asked for: a flood of about 10,000 a second from another host on the
// port the tool's exchange is using (random bytes, text that is not Base64, oversized datagrams and
// well-formed but false replies), and a gateway that sends its reply twice and then a contradicting
// one. The record comes out as from a quiet network.
#include "DiagnosisRig.h"

#include "sim/GatewayModel.h"
#include "TestSubnets.h"
#include "core/protocol/Base64.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <random>
#include <set>
#include <thread>

namespace orva::test {
namespace {

constexpr int kFloodSubnet = orva::test::subnets::faults_flood::kFlood;

// A UDP socket bound to a loopback address of the suite's subnet (any free port).
class BoundSocket {
public:
    explicit BoundSocket(const std::string& address) {
        fd_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        ::inet_pton(AF_INET, address.c_str(), &a.sin_addr);
        if (fd_ < 0 || ::bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0)
            ADD_FAILURE() << "cannot bind " << address;
        to_.sin_family = AF_INET;
        ::inet_pton(AF_INET, address.c_str(), &to_.sin_addr); // same subnet: the tool listens on loopback
    }
    ~BoundSocket() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    BoundSocket(const BoundSocket&) = delete;
    BoundSocket& operator=(const BoundSocket&) = delete;

    // The tool's socket is bound to the wildcard address; any loopback address reaches it.
    bool sendTo(uint16_t port, const std::string& bytes) {
        sockaddr_in to = to_;
        to.sin_port = htons(port);
        return ::sendto(fd_, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to) ==
               static_cast<ssize_t>(bytes.size());
    }

private:
    int fd_ = -1;
    sockaddr_in to_{};
};

uint16_t SourcePort(const sim::JournalEntry& e) {
    const auto colon = e.source.rfind(':');
    return colon == std::string::npos ? 0 : static_cast<uint16_t>(std::stoi(e.source.substr(colon + 1)));
}

// The port of the tool's newest exchange, from the simulator's journal; 0 before the first.
uint16_t ToolPort(const sim::GatewaySimulator& sim) {
    const auto entries = sim.journal();
    for (auto it = entries.rbegin(); it != entries.rend(); ++it)
        if (it->kind == sim::JournalEntry::Kind::Command)
            return SourcePort(*it);
    return 0;
}

std::vector<std::string> FloodPayloads() {
    std::mt19937 gen(42);
    std::string random(50, '\0');
    for (auto& c : random)
        c = static_cast<char>(gen() & 0xFF);
    return {
        random,
        "not base64 at all!!",
        Base64Encode("HG_HARDWARE_DIAG_FAIL STEP=1 FESTATUS=DOWN FLASHUSEAGE=99 USBCHECK=NO WIFISTATUS=NO"),
        Base64Encode("HG_SOFTWARE_DIAG_SUCC STEP=1 SOFTWAREVERSION=EVIL KEYPROCESSCHECK=BAD CPULOAD=99 "
                     "MEMLOAD=99 AREACHECK=Z INTEGRITYCHECK=BAD DISKCHECK=EVIL"),
        Base64Encode("QUERY_SYSTEM_INFO_SUCC PRODUCTCLASS=EVIL DEVTYPE=EVIL SWVERSION=1 HDVERSION=1 CPUCLASS=1"),
        std::string(1000, 'A'), // decodes, but does not fit the receive buffer
    };
}

// Sends about ten datagrams a millisecond from another host to the tool's current port.
class Flooder {
public:
    Flooder(const sim::GatewaySimulator& sim, const std::string& from)
        : sim_(sim), socket_(from), payloads_(FloodPayloads()) {
        thread_ = std::jthread([this](std::stop_token st) { run(st); });
    }
    ~Flooder() { stop(); }
    void stop() {
        thread_.request_stop();
        if (thread_.joinable())
            thread_.join();
    }
    long sent() const { return sent_.load(); }
    size_t portsHit() const {
        std::lock_guard lock(mutex_);
        return ports_.size();
    }

private:
    void run(std::stop_token stop) {
        auto next = std::chrono::steady_clock::now();
        size_t k = 0;
        while (!stop.stop_requested()) {
            const uint16_t port = ToolPort(sim_);
            if (port != 0) {
                {
                    std::lock_guard lock(mutex_);
                    ports_.insert(port);
                }
                for (int i = 0; i < 10; ++i)
                    if (socket_.sendTo(port, payloads_[k++ % payloads_.size()]))
                        ++sent_;
            }
            next += std::chrono::milliseconds(1);
            std::this_thread::sleep_until(next);
        }
    }

    const sim::GatewaySimulator& sim_;
    BoundSocket socket_;
    std::vector<std::string> payloads_;
    std::atomic<long> sent_{0};
    mutable std::mutex mutex_;
    std::set<uint16_t> ports_;
    std::jthread thread_;
};

// For every command the gateway receives: a little after its reply, the same reply twice more and then
// a reply that says the opposite, all from the gateway's own address.
class Repeater {
public:
    Repeater(const sim::GatewaySimulator& sim, const sim::Options& options, const std::string& gateway)
        : sim_(sim), options_(options), socket_(gateway) {
        thread_ = std::jthread([this](std::stop_token st) { run(st); });
    }
    ~Repeater() {
        thread_.request_stop();
        thread_.join();
    }
    long repeated() const { return repeated_.load(); }

private:
    void run(std::stop_token stop) {
        size_t seen = 0;
        while (!stop.stop_requested()) {
            if (!sim_.waitForJournal(seen + 1, std::chrono::milliseconds(50)))
                continue;
            const auto entries = sim_.journal();
            for (; seen < entries.size(); ++seen) {
                const auto& e = entries[seen];
                if (e.kind != sim::JournalEntry::Kind::Command)
                    continue;
                std::this_thread::sleep_for(std::chrono::milliseconds(15));
                const auto answers = sim::AnswerCommand(e.port, e.command, options_, {});
                for (const auto& a : answers)
                    for (int i = 0; i < 2; ++i)
                        socket_.sendTo(SourcePort(e), a.payload);
                const bool hardware = e.port == sim::kHardwarePort;
                socket_.sendTo(SourcePort(e), Base64Encode(hardware ? "HG_HARDWARE_DIAG_FAIL FESTATUS=DOWN"
                                                                    : "HG_SOFTWARE_DIAG_FAIL SOFTWAREVERSION=X"));
                ++repeated_;
            }
        }
    }

    const sim::GatewaySimulator& sim_;
    sim::Options options_;
    BoundSocket socket_;
    std::atomic<long> repeated_{0};
    std::jthread thread_;
};

class FloodTest : public DiagnosisRig {
protected:
    FloodTest() : DiagnosisRig(kFloodSubnet) {}

    void expectGoodRecord(const RunSummary& s, const std::function<void(DiagRecord&)>& changes = {}) {
        ASSERT_TRUE(s.ended);
        ASSERT_EQ(s.outcome, RunOutcome::Finished);
        ASSERT_TRUE(s.record);
        DiagRecord expected = expectedRecord();
        expected.Mac = s.record->Mac;
        if (changes)
            changes(expected);
        EXPECT_EQ(RecordColumnTexts(*s.record), RecordColumnTexts(expected));
        EXPECT_EQ(RecordColumnTexts(newestStored(expected)), RecordColumnTexts(expected));
    }
};

TEST_F(FloodTest, FloodFromAnotherHostLeavesTheRecordAsOnAQuietNetwork) {
    // A gateway takes a moment to answer, so the flood is on the socket before each reply.
    sim::Override thinking;
    thinking.prefix = ""; // every command
    thinking.delayMs = 30;
    sim->setOverrides({thinking});
    Flooder flood(*sim, subnet(kFloodSubnet) + "77");
    const RunSummary s = runOnce();
    flood.stop();
    expectGoodRecord(s);
    EXPECT_TRUE(failedItems(s).empty());
    // The flood did reach the exchanges: connection, identity and most checks.
    EXPECT_GT(flood.portsHit(), 20u);
    EXPECT_GT(flood.sent(), 1000);
}

TEST_F(FloodTest, FloodDoesNotPushOutALateReplyNorMakeUpAMissingOne) {
    sim::Override late;
    late.prefix = "HG_HARDWARE_DIAG STEP=1 FENUM=1";
    late.delayMs = 500; // the socket would overflow long before this without being read
    sim::Override silent;
    silent.prefix = "HG_HARDWARE_DIAG STEP=1 FENUM=2";
    silent.noReply = true;
    sim->setOverrides({late, silent});
    Flooder flood(*sim, subnet(kFloodSubnet) + "78");
    const RunSummary s = runOnce();
    flood.stop();
    expectGoodRecord(s, [](DiagRecord& r) { r.FE2Check = CheckNotTested; });
    EXPECT_EQ(failedItems(s), std::set<int>{2});
}

TEST_F(FloodTest, RepeatedAndContradictingRepliesAfterTheFirstAreIgnored) {
    Repeater repeater(*sim, simOptions, gatewayAddress(kFloodSubnet));
    const RunSummary s = runOnce();
    expectGoodRecord(s);
    EXPECT_TRUE(failedItems(s).empty());
    EXPECT_GT(repeater.repeated(), 20);
}

} // namespace
} // namespace orva::test

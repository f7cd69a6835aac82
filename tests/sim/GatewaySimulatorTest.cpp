// The simulator run in-process, talked to over real loopback UDP sockets. Every test that binds owns
// its own subnet 127.0.N.0/24 (TestSubnets.h), so the suites can run side by side on the fixed ports.
#include "sim/GatewaySimulator.h"
#include "TestSubnets.h"
#include "TestSupport.h"
#include "UdpTestClient.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <set>
#include <sstream>

namespace orva::sim {
namespace {

using namespace std::chrono_literals;
using orva::test::gatewayAddress;
using orva::test::subnet;
using test::UdpTestClient;
namespace simSubnets = orva::test::subnets::sim;

std::string broadcastAddress(int n) {
    return subnet(n) + "255";
}

// A simulator on subnet N, started in the constructor and stopped at the end of the test.
struct RunningSim {
    explicit RunningSim(int n, Options o = {}) : sim((o.address = gatewayAddress(n), o)) {
        const Result<void> startup = sim.start();
        started = startup.ok();
        EXPECT_TRUE(started) << startup.error();
    }
    GatewaySimulator sim;
    bool started = false;
};

Override makeOverride(const std::string& prefix, const std::vector<std::string>& settings) {
    Override o;
    o.prefix = prefix;
    for (const auto& s : settings) {
        const Result<void> set = ParseOverrideSetting(s, o);
        EXPECT_TRUE(set.ok()) << set.error();
    }
    return o;
}

struct CommandCase {
    uint16_t port;
    std::string command;
    std::string reply;
};

TEST(GatewaySimulator, AnswersEveryCommandLikeAGateway) {
    Options o;
    o.model = "KT310";
    o.sn = "TSN0040";
    RunningSim run(simSubnets::kEveryCommand, o);
    ASSERT_TRUE(run.started);
    const std::vector<CommandCase> cases = {
        {7998, "CONNECT", "CONNECT_SUCC"},
        {7998, "QUERY_SYSTEM_INFO",
         "QUERY_SYSTEM_INFO_SUCC SWVERSION=V1.0.3 HDVERSION=HW2.0 PRODUCTCLASS=KT310 CPUCLASS=BCM6838 DEVTYPE=TSN0040"},
        {7999, "HG_HARDWARE_DIAG STEP=1 FENUM=1", "HG_HARDWARE_DIAG_SUCC STEP=1 FESTATUS=OK"},
        {7999, "HG_HARDWARE_DIAG STEP=1 FENUM=4", "HG_HARDWARE_DIAG_SUCC STEP=1 FESTATUS=OK"},
        {7999, "HG_HARDWARE_DIAG STEP=1 FENUM=5", "UNRECOGNIZE_REQUEST"},
        {7999, "HG_HARDWARE_DIAG STEP=2 METHOD=START", "HG_HARDWARE_DIAG_SUCC STEP=2"},
        {7999, "HG_HARDWARE_DIAG STEP=2 METHOD=RINGON POSNUM=0", "HG_HARDWARE_DIAG_SUCC STEP=2"},
        {7999, "HG_HARDWARE_DIAG STEP=2 METHOD=RINGON POSNUM=1", "HG_HARDWARE_DIAG_SUCC STEP=2"},
        {7999, "HG_HARDWARE_DIAG STEP=2 METHOD=PLAYDTMF POSNUM=1", "HG_HARDWARE_DIAG_SUCC STEP=2"},
        {7999, "HG_HARDWARE_DIAG STEP=2 METHOD=STARTCNGTONE POSNUM=0", "HG_HARDWARE_DIAG_SUCC STEP=2"},
        {7999, "HG_HARDWARE_DIAG STEP=2 METHOD=STARTCALLLOOP POSNUM=0", "HG_HARDWARE_DIAG_SUCC STEP=2"},
        {7999, "HG_HARDWARE_DIAG STEP=2 METHOD=STOP", "HG_HARDWARE_DIAG_SUCC STEP=2"},
        {7999, "HG_HARDWARE_DIAG STEP=3 METHOD=START", "HG_HARDWARE_DIAG_SUCC STEP=3"},
        {7999, "HG_HARDWARE_DIAG STEP=3 METHOD=STOP", "HG_HARDWARE_DIAG_SUCC STEP=3"},
        {7999, "HG_HARDWARE_DIAG STEP=4", "HG_HARDWARE_DIAG_SUCC STEP=4 FLASHUSEAGE=35"},
        {7999, "HG_HARDWARE_DIAG STEP=5  METHOD=ON", "HG_HARDWARE_DIAG_SUCC STEP=5"},
        {7999, "HG_HARDWARE_DIAG STEP=5  METHOD=OFF", "HG_HARDWARE_DIAG_SUCC STEP=5"},
        // The LED command carries two blanks; with one it is not the command the gateway knows.
        {7999, "HG_HARDWARE_DIAG STEP=5 METHOD=ON", "UNRECOGNIZE_REQUEST"},
        {7999, "HG_HARDWARE_DIAG STEP=6", "HG_HARDWARE_DIAG_SUCC STEP=6 USBCHECK=OK USBUSAGE=20"},
        {7999, "HG_HARDWARE_DIAG STEP=7", "HG_HARDWARE_DIAG_SUCC STEP=7 WIFISTATUS=OK"},
        {7998, "HG_SOFTWARE_DIAG STEP=1", "HG_SOFTWARE_DIAG_SUCC STEP=1 SOFTWAREVERSION=V1.0.3"},
        {7998, "HG_SOFTWARE_DIAG STEP=2", "UNRECOGNIZE_REQUEST"},
        {7998, "HG_SOFTWARE_DIAG STEP=3", "HG_SOFTWARE_DIAG_SUCC STEP=3 KEYPROCESSCHECK=OK"},
        {7998, "HG_SOFTWARE_DIAG STEP=4", "HG_SOFTWARE_DIAG_SUCC STEP=4 CPULOAD=12 MEMLOAD=40"},
        {7998, "HG_SOFTWARE_DIAG STEP=5", "HG_SOFTWARE_DIAG_SUCC STEP=5 AREACHECK=0"},
        {7998, "HG_SOFTWARE_DIAG STEP=6", "HG_SOFTWARE_DIAG_SUCC STEP=6 INTEGRITYCHECK=OK"},
        {7998, "HG_SOFTWARE_DIAG STEP=7", "HG_SOFTWARE_DIAG_SUCC STEP=7 DISKCHECK=OK"},
        {7998, "HG_REVOCERY_PRECONFIG", "HG_REVOCERY_PRECONFIG_SUCC SN=TSN0040"},
        {50003, "QUERY_UPGRADE_MSG", "UPGRADE_SUCCESS SN=TSN0040 BUILD_DATE=20240115"},
        // Commands sent to the wrong port or not known at all.
        {7998, "HG_HARDWARE_DIAG STEP=4", "UNRECOGNIZE_REQUEST"},
        {7999, "HG_SOFTWARE_DIAG STEP=1", "UNRECOGNIZE_REQUEST"},
        {7999, "CONNECT", "UNRECOGNIZE_REQUEST"},
        {50003, "CONNECT", "UNRECOGNIZE_REQUEST"},
        {7998, "connect", "UNRECOGNIZE_REQUEST"},
        {7998, "HELLO WORLD", "UNRECOGNIZE_REQUEST"},
    };
    UdpTestClient client;
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.port) + " " + c.command);
        EXPECT_EQ(client.exchange(gatewayAddress(simSubnets::kEveryCommand), c.port, c.command), c.reply);
    }
    EXPECT_EQ(run.sim.commands().size(), cases.size());
}

TEST(GatewaySimulator, BroadcastRestoreIsAnsweredByEveryGateway) {
    Options o;
    o.gateways = 3;
    o.sn = "RST42";
    RunningSim run(simSubnets::kBroadcastRestore, o);
    ASSERT_TRUE(run.started);
    UdpTestClient client;
    client.send(broadcastAddress(42), 7998, "HG_REVOCERY_PRECONFIG");
    std::set<std::string> serials;
    for (int i = 0; i < 3; ++i) {
        auto reply = client.receive();
        ASSERT_TRUE(reply) << "reply " << i + 1 << " missing";
        ASSERT_TRUE(reply->starts_with("HG_REVOCERY_PRECONFIG_SUCC SN=")) << *reply;
        serials.insert(reply->substr(std::string("HG_REVOCERY_PRECONFIG_SUCC SN=").size()));
    }
    EXPECT_EQ(serials, (std::set<std::string>{"RST42", "RST42-2", "RST42-3"}));
    // No fourth answer: the next datagram is the answer to the next command.
    EXPECT_EQ(client.exchange(gatewayAddress(simSubnets::kBroadcastRestore), 7998, "CONNECT"), "CONNECT_SUCC");
    auto journal = run.sim.journal();
    ASSERT_EQ(journal.size(), 2u);
    EXPECT_EQ(journal[0].destination, broadcastAddress(42));
    EXPECT_EQ(journal[1].destination, gatewayAddress(simSubnets::kBroadcastRestore));
    // Unicast commands are answered once, by the addressed gateway.
    EXPECT_EQ(client.exchange(gatewayAddress(simSubnets::kBroadcastRestore), 7998, "CONNECT"), "CONNECT_SUCC");
    EXPECT_EQ(client.exchange(gatewayAddress(simSubnets::kBroadcastRestore), 7998, "HG_SOFTWARE_DIAG STEP=3"),
              "HG_SOFTWARE_DIAG_SUCC STEP=3 KEYPROCESSCHECK=OK");
}

TEST(GatewaySimulator, UpgradeQueryIsAnsweredPerGatewayWithItsOwnOverrides) {
    Options o;
    o.gateways = 3;
    o.sn = "UPG43";
    o.buildDate = "20250301";
    o.overrides.push_back(makeOverride("QUERY_UPGRADE_MSG", {"gateway=2", "status=UPGRADE_FAIL", "drop=BUILD_DATE"}));
    o.overrides.push_back(makeOverride("QUERY_UPGRADE_MSG", {"gateway=3", "no-reply"}));
    RunningSim run(simSubnets::kUpgradeQuery, o);
    ASSERT_TRUE(run.started);
    UdpTestClient client;
    client.send(broadcastAddress(43), 50003, "QUERY_UPGRADE_MSG");
    EXPECT_EQ(client.receive().value_or("<no reply>"), "UPGRADE_SUCCESS SN=UPG43 BUILD_DATE=20250301");
    EXPECT_EQ(client.receive().value_or("<no reply>"), "UPGRADE_FAIL SN=UPG43-2");
    EXPECT_EQ(client.exchange(gatewayAddress(simSubnets::kUpgradeQuery), 7998, "CONNECT"), "CONNECT_SUCC");
}

struct OverrideCase {
    std::string name;
    std::vector<Override> overrides;
    std::vector<CommandCase> exchanges;
};

TEST(GatewaySimulator, OverridesChangeTheAnswersOfMatchingCommands) {
    RunningSim run(simSubnets::kOverrides);
    ASSERT_TRUE(run.started);
    const std::vector<OverrideCase> cases = {
        {"one LAN port down",
         {makeOverride("HG_HARDWARE_DIAG STEP=1 FENUM=2", {"FESTATUS=DOWN"})},
         {{7999, "HG_HARDWARE_DIAG STEP=1 FENUM=1", "HG_HARDWARE_DIAG_SUCC STEP=1 FESTATUS=OK"},
          {7999, "HG_HARDWARE_DIAG STEP=1 FENUM=2", "HG_HARDWARE_DIAG_SUCC STEP=1 FESTATUS=DOWN"},
          {7999, "HG_HARDWARE_DIAG STEP=1 FENUM=3", "HG_HARDWARE_DIAG_SUCC STEP=1 FESTATUS=OK"}}},
        {"gateway without disk check",
         {makeOverride("HG_SOFTWARE_DIAG STEP=7", {"status=UNRECOGNIZE_REQUEST"})},
         {{7998, "HG_SOFTWARE_DIAG STEP=7", "UNRECOGNIZE_REQUEST STEP=7 DISKCHECK=OK"},
          {7998, "HG_SOFTWARE_DIAG STEP=6", "HG_SOFTWARE_DIAG_SUCC STEP=6 INTEGRITYCHECK=OK"}}},
        {"flash failure keeps its usage",
         {makeOverride("HG_HARDWARE_DIAG STEP=4", {"status=HG_HARDWARE_DIAG_FAIL", "FLASHUSEAGE=95"})},
         {{7999, "HG_HARDWARE_DIAG STEP=4", "HG_HARDWARE_DIAG_FAIL STEP=4 FLASHUSEAGE=95"}}},
        {"telephone start refused",
         {makeOverride("HG_HARDWARE_DIAG STEP=2 METHOD=START", {"status=HG_HARDWARE_DIAG_FAIL"})},
         {{7999, "HG_HARDWARE_DIAG STEP=2 METHOD=START", "HG_HARDWARE_DIAG_FAIL STEP=2"},
          {7999, "HG_HARDWARE_DIAG STEP=2 METHOD=STARTCALLLOOP POSNUM=0", "HG_HARDWARE_DIAG_SUCC STEP=2"},
          {7999, "HG_HARDWARE_DIAG STEP=2 METHOD=STARTCNGTONE POSNUM=1", "HG_HARDWARE_DIAG_SUCC STEP=2"}}},
        {"every LAN port down through a prefix ending in '='",
         {makeOverride("HG_HARDWARE_DIAG STEP=1 FENUM=", {"FESTATUS=DOWN"})},
         {{7999, "HG_HARDWARE_DIAG STEP=1 FENUM=1", "HG_HARDWARE_DIAG_SUCC STEP=1 FESTATUS=DOWN"},
          {7999, "HG_HARDWARE_DIAG STEP=1 FENUM=4", "HG_HARDWARE_DIAG_SUCC STEP=1 FESTATUS=DOWN"}}},
        {"every telephone command through a prefix ending at a word",
         {makeOverride("HG_HARDWARE_DIAG STEP=2", {"status=HG_HARDWARE_DIAG_FAIL"})},
         {{7999, "HG_HARDWARE_DIAG STEP=2 METHOD=STOP", "HG_HARDWARE_DIAG_FAIL STEP=2"},
          {7999, "HG_HARDWARE_DIAG STEP=3 METHOD=STOP", "HG_HARDWARE_DIAG_SUCC STEP=3"}}},
        {"region code and an extra field",
         {makeOverride("HG_SOFTWARE_DIAG STEP=5", {"AREACHECK=R", "EXTRA=1"})},
         {{7998, "HG_SOFTWARE_DIAG STEP=5", "HG_SOFTWARE_DIAG_SUCC STEP=5 AREACHECK=R EXTRA=1"}}},
        {"missing field",
         {makeOverride("HG_SOFTWARE_DIAG STEP=4", {"drop=CPULOAD"})},
         {{7998, "HG_SOFTWARE_DIAG STEP=4", "HG_SOFTWARE_DIAG_SUCC STEP=4 MEMLOAD=40"}}},
        {"raw reply line",
         {makeOverride("QUERY_SYSTEM_INFO", {"raw=SWVERSION=1 QUERY_SYSTEM_INFO_SUCC"})},
         {{7998, "QUERY_SYSTEM_INFO", "SWVERSION=1 QUERY_SYSTEM_INFO_SUCC"}}},
        {"narrow prefix refines a broad one",
         {makeOverride("HG_SOFTWARE_DIAG STEP=4", {"status=NARROW"}),
          makeOverride("HG_SOFTWARE_DIAG", {"status=BROAD"})},
         {{7998, "HG_SOFTWARE_DIAG STEP=4", "NARROW STEP=4 CPULOAD=12 MEMLOAD=40"},
          {7998, "HG_SOFTWARE_DIAG STEP=1", "BROAD STEP=1 SOFTWAREVERSION=V1.0.3"},
          {7998, "CONNECT", "CONNECT_SUCC"}}},
        {"unknown command answered otherwise",
         {makeOverride("FOO", {"status=FOO_SUCC", "A=B"})},
         {{7998, "FOO BAR", "FOO_SUCC A=B"}}},
    };
    UdpTestClient client;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        run.sim.setOverrides(c.overrides);
        for (const auto& e : c.exchanges)
            EXPECT_EQ(client.exchange(gatewayAddress(simSubnets::kOverrides), e.port, e.command), e.reply) << e.command;
    }
    run.sim.clearOverrides();
    EXPECT_EQ(client.exchange(gatewayAddress(simSubnets::kOverrides), 7999, "HG_HARDWARE_DIAG STEP=1 FENUM=2"),
              "HG_HARDWARE_DIAG_SUCC STEP=1 FESTATUS=OK");
}

TEST(GatewaySimulator, SilentAndNonBase64AnswersOnRequest) {
    Options o;
    o.overrides.push_back(makeOverride("CONNECT", {"no-reply"}));
    o.overrides.push_back(makeOverride("HG_SOFTWARE_DIAG STEP=1", {"payload=not base64!"}));
    RunningSim run(simSubnets::kSilentAnswers, o);
    ASSERT_TRUE(run.started);
    UdpTestClient client;
    client.send(gatewayAddress(simSubnets::kSilentAnswers), 7998, "CONNECT");
    client.send(gatewayAddress(simSubnets::kSilentAnswers), 7998, "QUERY_SYSTEM_INFO");
    // The first datagram back answers the second command: CONNECT got nothing.
    auto first = client.receive();
    ASSERT_TRUE(first);
    EXPECT_TRUE(first->starts_with("QUERY_SYSTEM_INFO_SUCC ")) << *first;
    EXPECT_EQ(run.sim.commands(), (std::vector<std::string>{"CONNECT", "QUERY_SYSTEM_INFO"}));

    client.send(gatewayAddress(simSubnets::kSilentAnswers), 7998, "HG_SOFTWARE_DIAG STEP=1");
    EXPECT_EQ(client.receiveRaw().value_or("<no reply>"), "not base64!");

    // Overrides can be lifted while the simulator runs.
    run.sim.clearOverrides();
    EXPECT_EQ(client.exchange(gatewayAddress(simSubnets::kSilentAnswers), 7998, "CONNECT"), "CONNECT_SUCC");
    run.sim.addOverride(makeOverride("CONNECT", {"status=CONNECT_FAIL"}));
    EXPECT_EQ(client.exchange(gatewayAddress(simSubnets::kSilentAnswers), 7998, "CONNECT"), "CONNECT_FAIL");
}

TEST(GatewaySimulator, DelayedAnswerDoesNotHoldUpOthers) {
    Options o;
    o.overrides.push_back(makeOverride("CONNECT", {"delay=400"}));
    RunningSim run(simSubnets::kDelayedAnswer, o);
    ASSERT_TRUE(run.started);
    UdpTestClient client;
    auto sent = std::chrono::steady_clock::now();
    client.send(gatewayAddress(simSubnets::kDelayedAnswer), 7998, "CONNECT");
    client.send(gatewayAddress(simSubnets::kDelayedAnswer), 7999, "HG_HARDWARE_DIAG STEP=7");
    EXPECT_EQ(client.receive().value_or("<no reply>"), "HG_HARDWARE_DIAG_SUCC STEP=7 WIFISTATUS=OK");
    EXPECT_EQ(client.receive().value_or("<no reply>"), "CONNECT_SUCC");
    EXPECT_GE(std::chrono::steady_clock::now() - sent, 400ms);
}

TEST(GatewaySimulator, JournalRecordsEveryDatagramInMemoryAndInItsFile) {
    orva::test::TempProgramDir dir("orva-sim");
    Options o;
    o.journalFile = dir.file("journal.jsonl");
    RunningSim run(simSubnets::kJournal, o);
    ASSERT_TRUE(run.started);
    UdpTestClient client;
    EXPECT_EQ(client.exchange(gatewayAddress(simSubnets::kJournal), 7998, "CONNECT"), "CONNECT_SUCC");
    client.send(broadcastAddress(47), 7998, "HG_REVOCERY_PRECONFIG");
    ASSERT_TRUE(client.receive());
    client.sendRaw(gatewayAddress(simSubnets::kJournal), 7999, "%%%not-base64");
    client.send(gatewayAddress(simSubnets::kJournal), 50003, "QUERY_UPGRADE_MSG");
    ASSERT_TRUE(client.receive());
    ASSERT_TRUE(run.sim.waitForJournal(4, 5s));

    struct Expected {
        uint16_t port;
        std::string destination;
        JournalEntry::Kind kind;
        std::string command;
    };
    const std::vector<Expected> expected = {
        {7998, gatewayAddress(simSubnets::kJournal), JournalEntry::Kind::Command, "CONNECT"},
        {7998, broadcastAddress(47), JournalEntry::Kind::Command, "HG_REVOCERY_PRECONFIG"},
        {7999, gatewayAddress(simSubnets::kJournal), JournalEntry::Kind::Undecodable, ""},
        {50003, gatewayAddress(simSubnets::kJournal), JournalEntry::Kind::Command, "QUERY_UPGRADE_MSG"},
    };
    auto entries = run.sim.journal();
    ASSERT_EQ(entries.size(), expected.size());
    std::istringstream file(orva::test::readFile(o.journalFile));
    std::string lineText;
    for (size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(entries[i].port, expected[i].port);
        EXPECT_EQ(entries[i].destination, expected[i].destination);
        EXPECT_EQ(entries[i].source, client.localAddress());
        EXPECT_EQ(entries[i].kind, expected[i].kind);
        EXPECT_EQ(entries[i].command, expected[i].command);
        EXPECT_FALSE(entries[i].time.empty());

        ASSERT_TRUE(std::getline(file, lineText));
        auto j = nlohmann::json::parse(lineText);
        EXPECT_EQ(j["port"], expected[i].port);
        EXPECT_EQ(j["source"], client.localAddress());
        EXPECT_EQ(j["time"], entries[i].time);
        if (expected[i].kind == JournalEntry::Kind::Command)
            EXPECT_EQ(j["command"], expected[i].command);
        else
            EXPECT_EQ(j["length"], 13);
    }
    EXPECT_FALSE(std::getline(file, lineText));
}

TEST(GatewaySimulator, ImagePortTakesDatagramsAndNeverAnswers) {
    RunningSim run(simSubnets::kImagePort);
    ASSERT_TRUE(run.started);
    UdpTestClient client;
    const std::string info("\x00\x00\x0a\xc2\x00\x00\x00\x00\x00\x00\x00\x05", 12);
    std::string data(1004, '\0');
    data.replace(0, 5, "IMAGE");
    data[1001] = 1; // sequence 1
    data[1003] = 5; // count 5
    client.sendRaw(broadcastAddress(48), 54321, info);
    client.sendRaw(broadcastAddress(48), 54321, data);
    client.send(broadcastAddress(48), 54321, "HG_UPGRADE_CANCEL");
    ASSERT_TRUE(run.sim.waitForJournal(3, 5s));
    // Nothing came back for those three: the next datagram answers the next command.
    EXPECT_EQ(client.exchange(gatewayAddress(simSubnets::kImagePort), 7998, "CONNECT"), "CONNECT_SUCC");

    auto entries = run.sim.journal();
    ASSERT_EQ(entries.size(), 4u);
    EXPECT_EQ(entries[0].kind, JournalEntry::Kind::Image);
    EXPECT_EQ(entries[0].length, 12u);
    EXPECT_EQ(entries[0].head, "00000ac20000000000000005");
    EXPECT_EQ(entries[1].kind, JournalEntry::Kind::Image);
    EXPECT_EQ(entries[1].length, 1004u);
    EXPECT_EQ(entries[2].kind, JournalEntry::Kind::Command);
    EXPECT_EQ(entries[2].command, "HG_UPGRADE_CANCEL");
    EXPECT_EQ(run.sim.imageBytes(client.localAddress()), info + data);
    EXPECT_EQ(run.sim.images().size(), 1u);
}

TEST(GatewaySimulator, SecondSimulatorOnTheSameAddressFailsCleanly) {
    RunningSim first(simSubnets::kSecondSimulator);
    ASSERT_TRUE(first.started);
    Options o;
    o.address = gatewayAddress(simSubnets::kSecondSimulator);
    GatewaySimulator second(o);
    const Result<void> startup = second.start();
    EXPECT_FALSE(startup.ok());
    EXPECT_NE(startup.error().find("cannot bind"), std::string::npos) << startup.error();
    EXPECT_FALSE(second.running());
    UdpTestClient client;
    EXPECT_EQ(client.exchange(gatewayAddress(simSubnets::kSecondSimulator), 7998, "CONNECT"), "CONNECT_SUCC");
}

TEST(GatewaySimulator, RefusesAddressesOutsideLoopback) {
    struct Case {
        std::string address;
        std::string error;
    };
    const std::vector<Case> cases = {
        {"0.0.0.0", "only loopback"},          // refused: the wildcard would listen on every network
        {"10.1.2.3", "only loopback"},         // refused: non-loopback
        {"128.0.0.1", "only loopback"},        // refused: non-loopback
        {"localhost", "not a dotted-decimal"}, // refused: names are not resolved
        {"127.0.0", "not a dotted-decimal"},    {"127.0.0.256", "not a dotted-decimal"},
        {"127.0.0.1 ", "not a dotted-decimal"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.address);
        Options o;
        o.address = c.address;
        GatewaySimulator sim(o);
        const Result<void> startup = sim.start();
        EXPECT_FALSE(startup.ok());
        EXPECT_NE(startup.error().find(c.error), std::string::npos) << startup.error();
        EXPECT_FALSE(sim.running());
    }
}

} // namespace
} // namespace orva::sim

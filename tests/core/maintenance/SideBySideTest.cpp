// A diagnosis and an upgrade status check at the same time, against one simulated gateway: each
// session sends to the target it took when it started, so neither moves the other to its address or
// port. The check listens and ends while the diagnosis is between its hardware items; every hardware
// command still reaches port 7999 and every identity and software command port 7998.
#include "MaintenanceFixture.h"
#include "TestSubnets.h"
#include "TestSupport.h"
#include "core/app/TextTable.h"
#include "core/diagnosis/DiagnosisMessages.h"
#include "core/diagnosis/DiagnosisSession.h"
#include "core/maintenance/UpgradeSession.h"
#include "core/protocol/CommandChannel.h"
#include "sim/GatewaySimulator.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <set>
#include <thread>

namespace orva::test {
namespace {

using namespace std::chrono_literals;

constexpr int kSubnet = orva::test::subnets::maintenance::kSideBySide;

// Answers every prompt yes at once, except those it holds open for the test to answer.
class AnsweringView final : public DiagnosisView {
public:
    explicit AnsweringView(std::set<int> held) : held_(std::move(held)) {}
    DiagnosisSession* session = nullptr;

    void questionOpened(const Prompt& prompt, int) override {
        if (!held_.contains(prompt.questionId) && session)
            session->answer(true);
    }
    void message(const std::string&) override {}

private:
    const std::set<int> held_;
};

bool WaitUntil(const std::function<bool()>& done, std::chrono::seconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= end)
            return false;
        std::this_thread::sleep_for(10ms);
    }
    return true;
}

bool HeldOpen(const DiagnosisSession& session, int questionId) {
    const auto open = session.openPrompt();
    return open && open->questionId == questionId;
}

// The port each command of the tool goes to, by how the command begins.
uint16_t ExpectedPort(const std::string& command) {
    if (command.rfind("HG_HARDWARE_DIAG", 0) == 0)
        return 7999;
    if (command == "QUERY_UPGRADE_MSG")
        return 50003;
    return 7998; // CONNECT, QUERY_SYSTEM_INFO, HG_SOFTWARE_DIAG
}

TEST(SideBySide, AnUpgradeCheckEndingMidDiagnosisLeavesTheDiagnosisOnItsPorts) {
    TempProgramDir dir("orva-side-by-side");
    UseSettings(dir, kSubnet, {{"waittime", "0"}, {"updatelistentime", "3"}});
    writeFile(dir.file("res/device.ini"), "[DeviceName]\nList=KT540G\n[DeviceCount]\nCount=1\n[DeviceInfo]\n"
                                          "KT540G=1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1\n");
    SelectLanguage("Chinese");
    RecordingNotifier notifier;
    sim::Options options;
    options.address = gatewayAddress(kSubnet);
    options.sn = "SIDE0001";
    sim::GatewaySimulator gateway(options);
    const Result<void> startup = gateway.start();
    ASSERT_TRUE(startup.ok()) << startup.error();
    auto journalled = [&](const std::string& command) {
        const auto journal = gateway.journal();
        return std::count_if(journal.begin(), journal.end(), [&](const sim::JournalEntry& e) {
            return e.kind == sim::JournalEntry::Kind::Command && e.command == command;
        });
    };

    // The diagnosis stops at its first LAN prompt and again at the LED judgement.
    AnsweringView view({WM_DIAG_LAN1_PROMPT, WM_DIAG_LED_JUDGE});
    SessionOptions shortReplies;
    shortReplies.replyTimeoutSeconds = 1;
    DiagnosisSession diagnosis(view, nullptr, shortReplies);
    view.session = &diagnosis;
    diagnosis.initialise();
    diagnosis.setOperator("tech01");
    ASSERT_TRUE(diagnosis.start(gatewayAddress(kSubnet)));
    ASSERT_TRUE(WaitUntil([&] { return HeldOpen(diagnosis, WM_DIAG_LAN1_PROMPT); }, 20s));

    // The check starts and listens; the diagnosis goes on through its hardware items meanwhile.
    RecordingUpgradeView upgradeView;
    UpgradeSession upgrade(upgradeView);
    ASSERT_TRUE(upgrade.startCheck());
    ASSERT_TRUE(WaitUntil([&] { return journalled("QUERY_UPGRADE_MSG") == 1; }, 10s));
    ASSERT_TRUE(diagnosis.answer(true));
    ASSERT_TRUE(WaitUntil([&] { return journalled("HG_HARDWARE_DIAG STEP=1 FENUM=1") == 1; }, 10s));
    EXPECT_TRUE(upgrade.running()); // the LAN check went out while the check listened

    // The check ends; the diagnosis, held at the LED judgement, then sends the rest.
    upgrade.wait();
    EXPECT_FALSE(upgrade.running());
    ASSERT_TRUE(WaitUntil([&] { return HeldOpen(diagnosis, WM_DIAG_LED_JUDGE); }, 30s));
    const size_t beforeRest = gateway.journal().size();
    ASSERT_TRUE(diagnosis.answer(true));
    ASSERT_TRUE(diagnosis.waitForRunEnd(60s));

    const RunSummary run = diagnosis.lastRun();
    EXPECT_EQ(run.outcome, RunOutcome::Finished);
    EXPECT_EQ(run.productClass, "KT540G");
    ASSERT_TRUE(run.record.has_value());
    EXPECT_EQ(run.record->FE1Check, CheckPassed);
    EXPECT_EQ(run.record->WifiCheck, CheckPassed);
    EXPECT_EQ(run.record->PreConfigCheck, CheckPassed);
    EXPECT_TRUE(run.faults.empty());

    // The check saw the gateway, and only once.
    EXPECT_EQ(upgradeView.summary(), (GatewayCount{1, 1, 0}));
    ASSERT_EQ(upgradeView.events("line ").size(), 1u);
    EXPECT_NE(upgradeView.events("line ")[0].find("SIDE0001"), std::string::npos) << upgradeView.events("line ")[0];

    // Every command reached the port and the address its session chose.
    const auto journal = gateway.journal();
    size_t commands = 0;
    for (const sim::JournalEntry& e : journal) {
        if (e.kind != sim::JournalEntry::Kind::Command)
            continue;
        ++commands;
        EXPECT_EQ(e.port, ExpectedPort(e.command)) << e.command;
        EXPECT_EQ(e.destination, e.command == "QUERY_UPGRADE_MSG" ? subnet(kSubnet) + "255" : gatewayAddress(kSubnet))
            << e.command;
    }
    EXPECT_EQ(commands, 30u); // the diagnosis's 29 and the check's query
    // Hardware commands came after the check had ended, too.
    EXPECT_TRUE(std::any_of(journal.begin() + static_cast<std::ptrdiff_t>(beforeRest), journal.end(),
                            [](const sim::JournalEntry& e) { return e.command == "HG_HARDWARE_DIAG STEP=5  METHOD=OFF"; }));
    // And the shared settings are as the diagnosis's Start left them.
    EXPECT_EQ(CommandChannel::Instance().Address(), gatewayAddress(kSubnet));
    EXPECT_EQ(CommandChannel::Instance().ReplyTimeout(), 1);
    gateway.stop();
}

} // namespace
} // namespace orva::test

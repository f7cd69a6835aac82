// Runs that do not finish: nothing of them is stored, and nothing they do later reaches the page.
#include "SessionFixture.h"

#include <condition_variable>
#include <thread>

namespace orva::test {
namespace {

// Waits until the view saw a call for which `match` holds.
class CallWaiter {
public:
    explicit CallWaiter(FakeView& view, std::function<bool(const FakeView::Call&)> match) : match_(std::move(match)) {
        view.onCall = [this](const FakeView::Call& c) {
            if (match_(c)) {
                std::lock_guard lock(m_);
                seen_ = true;
                cv_.notify_all();
            }
        };
    }
    bool wait() {
        std::unique_lock lock(m_);
        return cv_.wait_for(lock, std::chrono::seconds(30), [&] { return seen_; });
    }

private:
    std::function<bool(const FakeView::Call&)> match_;
    std::mutex m_;
    std::condition_variable cv_;
    bool seen_ = false;
};

bool HasTopRow(const FakeView& view, const std::string& c0, const std::string& c1) {
    for (const auto& c : view.callsOf("top"))
        if (c.s1 == c0 && c.s2 == c1)
            return true;
    return false;
}

TEST_F(SessionFixture, ConnectionErrorEndsTheRunWithTheErrorRow) {
    // No gateway at all: the CONNECT exchange times out after the (short) reply time-out.
    runToEnd();
    EXPECT_EQ(view.outcomes(), std::vector<RunOutcome>{RunOutcome::ConnectError});
    EXPECT_TRUE(HasTopRow(view, "连接状态", "连接错误"));
    EXPECT_FALSE(session->running());
    EXPECT_FALSE(session->connected());
    EXPECT_TRUE(view.callsOf("rows").empty());
    EXPECT_TRUE(storedLogs().empty());
    // Stop now finds no run.
    session->stop();
    EXPECT_EQ(view.messages().back(), "线程已经终止");
}

TEST_F(SessionFixture, ConnectionTimeoutGivesTheRunUpAndTheLateReplyChangesNothing) {
    SessionOptions options;
    options.replyTimeoutSeconds = 5;
    options.watchdogPeriod = std::chrono::milliseconds(200);
    makeSession(options);
    sim::Override late;
    late.prefix = "CONNECT";
    late.delayMs = 1500;
    startSimulator("KT540G", {late});
    runToEnd();
    EXPECT_EQ(view.outcomes(), std::vector<RunOutcome>{RunOutcome::ConnectTimeout});
    EXPECT_TRUE(HasTopRow(view, "连接状态", "连接超时"));
    EXPECT_FALSE(session->running());

    // Let the late reply arrive; the given-up run must not go on.
    const size_t callsBefore = view.calls().size();
    std::this_thread::sleep_for(std::chrono::milliseconds(2000));
    EXPECT_EQ(view.calls().size(), callsBefore);
    EXPECT_EQ(received().size(), 1u); // only the CONNECT: no identity query followed
    EXPECT_TRUE(storedLogs().empty());

    // A new run on a prompt gateway works normally.
    sim->clearOverrides();
    session->setDeviceTemplate(only({13}));
    view.clear();
    runToEnd();
    EXPECT_EQ(view.outcomes(), std::vector<RunOutcome>{RunOutcome::Finished});
    EXPECT_EQ(storedLogs().size(), 1u);
}

TEST_F(SessionFixture, ModelMismatchEndsTheRunAfterShowingTheIdentity) {
    startSimulator("KT593G");
    // No model confirmed: the KT540G template of the page's start-up is used.
    runToEnd();
    EXPECT_EQ(view.outcomes(), std::vector<RunOutcome>{RunOutcome::ModelMismatch});
    auto messages = view.messages();
    ASSERT_FALSE(messages.empty());
    EXPECT_EQ(messages.back(), "选择检测设备类型与当前连接设备类型不一致，请重新设置！");
    EXPECT_EQ(session->lastRun().productClass, "KT593G");
    EXPECT_EQ(received().size(), 3u); // CONNECT and the two identity queries, nothing else
    EXPECT_TRUE(view.prompts().empty());
    EXPECT_FALSE(session->running());
    EXPECT_TRUE(storedLogs().empty());
}

TEST_F(SessionFixture, RefusedTelephoneStartEndsTheRun) {
    startSimulator("KT540G", {[] {
                       sim::Override o;
                       o.prefix = "HG_HARDWARE_DIAG STEP=2 METHOD=START";
                       o.status = "HG_HARDWARE_DIAG_FAIL";
                       return o;
                   }()});
    session->setDeviceTemplate(only({1, 5, 13}));
    runToEnd();
    EXPECT_EQ(view.outcomes(), std::vector<RunOutcome>{RunOutcome::PotsStartFailed});
    EXPECT_TRUE(HasTopRow(view, "POST开始测试", "失败"));
    // LAN1 ran before; nothing after the refused start.
    ASSERT_EQ(session->lastRun().checks.size(), 1u);
    EXPECT_EQ(received().back().second, "HG_HARDWARE_DIAG STEP=2 METHOD=START");
    EXPECT_TRUE(storedLogs().empty());
}

TEST_F(SessionFixture, StopAtACheckpointStoresNothing) {
    startSimulator("KT540G");
    session->setDeviceTemplate(only({13, 15, 16, 17}));
    // Stop pressed right after the USB result was shown: the worker ends at the next checkpoint.
    view.onCall = [this](const FakeView::Call& c) {
        if (c.what == "log" && c.a == static_cast<int>(LogTab::All) && c.b == 4)
            session->stop();
    };
    runToEnd();
    view.onCall = nullptr;
    EXPECT_EQ(view.outcomes(), std::vector<RunOutcome>{RunOutcome::Stopped});
    EXPECT_EQ(view.messages().back(), "已经中止当前检测");
    EXPECT_EQ(session->logRows(LogTab::Current).size(), 2u);
    // The all-logs tab: separator, heading, the checks shown; no closing row.
    auto all = session->logRows(LogTab::All);
    ASSERT_EQ(all.size(), 4u);
    EXPECT_NE(all.back().item, " ");
    for (const auto& [port, cmd] : received())
        EXPECT_NE(cmd, "HG_HARDWARE_DIAG STEP=7");
    EXPECT_TRUE(storedLogs().empty());
    EXPECT_FALSE(session->running());
}

TEST_F(SessionFixture, StopInsideAQuestionWaitStoresNothingAndTheNextRunIsClean) {
    startSimulator("KT540G");
    session->setDeviceTemplate(only({1, 2}));
    view.holdPrompts = {WM_DIAG_LAN2_PROMPT};
    CallWaiter asked(view, [](const FakeView::Call& c) { return c.what == "prompt" && c.a == WM_DIAG_LAN2_PROMPT; });
    ASSERT_TRUE(session->start(gatewayAddress(kSessionSubnet)));
    ASSERT_TRUE(asked.wait());

    // While the run waits: Start does nothing and a model cannot be confirmed.
    EXPECT_FALSE(session->start(gatewayAddress(kSessionSubnet)));
    EXPECT_EQ(session->confirmModel("KT310"), DiagnosisSession::ConfirmResult::Refused);
    EXPECT_EQ(CurrentDeviceType(), "");
    EXPECT_EQ(view.callsOf("clearItems").size(), 1u);

    session->stop();
    ASSERT_TRUE(session->waitForRunEnd(std::chrono::seconds(10)));
    EXPECT_EQ(view.outcomes(), std::vector<RunOutcome>{RunOutcome::Stopped});
    EXPECT_FALSE(session->openPrompt().has_value());
    EXPECT_FALSE(session->answer(true)); // the prompt is gone with its run
    EXPECT_FALSE(view.callsOf("hidePrompt").empty());
    EXPECT_TRUE(storedLogs().empty());
    EXPECT_EQ(session->lastRun().checks.size(), 1u);

    // The stopped worker's wait is over; a new run answers its own prompts.
    view.holdPrompts.clear();
    view.onCall = nullptr;
    view.clear();
    runToEnd();
    EXPECT_EQ(view.outcomes(), std::vector<RunOutcome>{RunOutcome::Finished});
    EXPECT_EQ(session->lastRun().checks.size(), 2u);
    EXPECT_EQ(storedLogs().size(), 1u);
}

TEST_F(SessionFixture, StartWithoutTemplateAndStopWhenIdle) {
    session->setDeviceTemplate(std::nullopt);
    EXPECT_FALSE(session->start(gatewayAddress(kSessionSubnet)));
    session->stop();
    EXPECT_EQ(view.messages(), (std::vector<std::string>{"当前检测设备类型未指定，请确认", "线程已经终止"}));
    EXPECT_FALSE(session->lastRun().started);
}

TEST_F(SessionFixture, ConfirmingModels) {
    struct Case {
        std::string model;
        DiagnosisSession::ConfirmResult result;
        std::string currentType;
        int firstFlag;
    };
    const std::vector<Case> cases = {
        {"KT310", DiagnosisSession::ConfirmResult::Confirmed, "KT310", 1},
        {"NOPE", DiagnosisSession::ConfirmResult::LoadedUnlisted, "KT310", 0},
        {"ZERO", DiagnosisSession::ConfirmResult::Confirmed, "ZERO", 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(session->confirmModel(c.model), c.result) << c.model;
        EXPECT_EQ(CurrentDeviceType(), c.currentType) << c.model;
        ASSERT_TRUE(session->deviceTemplate().has_value());
        EXPECT_EQ(session->deviceTemplate()->model, c.model);
        EXPECT_EQ(session->deviceTemplate()->flags[0], c.firstFlag) << c.model;
        EXPECT_EQ(view.messages().back(), "设备选择成功");
    }
    SetCurrentDeviceType("KT593G");
    EXPECT_TRUE(session->deviceTypeChanged());
    EXPECT_EQ(session->deviceTemplate()->model, "KT593G");
}

} // namespace
} // namespace orva::test

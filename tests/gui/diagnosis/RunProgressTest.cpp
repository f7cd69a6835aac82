// What the page shows while a run waits: which gateway it is connecting to, no identity left over from
// the previous gateway, and which item is waiting for its reply (a reply may take up to 15 s).
#include "DiagnosisPageFixture.h"
#include "TestSubnets.h"

#include "core/diagnosis/DeviceModels.h"

#include <QListWidget>

#include <algorithm>
#include <chrono>

namespace orva::test {
namespace {

constexpr int kProgressSubnet = orva::test::subnets::gui_diagnosis::kRunProgress;
constexpr int kSoftwareVersionItem = 17;

sim::Override DelayedReply(const std::string& prefix, int ms) {
    sim::Override o;
    o.prefix = prefix;
    o.delayMs = ms;
    return o;
}

QStringList ListLines(const QListWidget* list) {
    QStringList out;
    for (int r = 0; r < list->count(); ++r)
        out << list->item(r)->text();
    return out;
}

struct ProgressCase {
    std::string language;
    QString connecting; // with the gateway's address in place of %1
    QString running;
};

TEST_F(DiagnosisPageFixture, StartShowsTheAddressAndTheItemWaitingForItsReply) {
    const std::vector<ProgressCase> cases = {
        {"Chinese", QStringLiteral("正在连接 %1 …"), QStringLiteral("检测中…")},
        {"English", QStringLiteral("Connecting to %1 …"), QStringLiteral("checking…")},
    };
    for (const ProgressCase& c : cases) {
        SCOPED_TRACE(c.language);
        setUpProgram(kProgressSubnet, c.language);
        std::array<int, kCheckItemCount> flags{};
        flags[0] = 1;                        // LAN1: a question first
        flags[kSoftwareVersionItem - 1] = 1; // then a reply that takes its time
        ASSERT_TRUE(SaveDeviceTemplate("KT540G", flags));
        startSimulator("KT540G", {DelayedReply("CONNECT", 800), DelayedReply("HG_SOFTWARE_DIAG STEP=1", 1500)});
        SessionOptions options;
        options.replyTimeoutSeconds = 5; // the delayed replies still count
        makePage(nullptr, options);
        click(page->confirmButton());
        const QString connecting = c.connecting.arg(Q(gatewayAddress(kProgressSubnet)));

        // A first run leaves the gateway's identity on the page.
        click(page->startButton());
        EXPECT_EQ(ListLines(page->resultList()), QStringList{connecting});
        ASSERT_TRUE(waitForRunEnd());
        ASSERT_EQ(page->session().lastRun().outcome, RunOutcome::Finished);
        EXPECT_EQ(page->productFormEdit()->text(), QStringLiteral("KT540G"));
        EXPECT_EQ(page->barcodeEdit()->text(), QStringLiteral("SN0170"));
        EXPECT_FALSE(ListLines(page->resultList()).contains(connecting));

        // The next Start: nothing of that gateway is left, and the page says whom it is reaching.
        click(page->startButton());
        EXPECT_TRUE(page->productFormEdit()->text().isEmpty());
        EXPECT_TRUE(page->barcodeEdit()->text().isEmpty());
        EXPECT_EQ(ListLines(page->resultList()), QStringList{connecting});

        // The software-version reply is late: its row says so, and only its row.
        const auto statusOf = [this](int item) {
            QTreeWidgetItem* row = page->itemList()->topLevelItem(item - 1);
            return row ? row->text(1) : QString();
        };
        ASSERT_TRUE(QTest::qWaitFor([&] { return statusOf(kSoftwareVersionItem) == c.running; }, 10000));
        EXPECT_FALSE(ListLines(page->resultList()).contains(connecting)); // connected
        EXPECT_EQ(statusOf(1), QStringLiteral("√"));
        const std::vector<QString> statuses = itemColumn(1);
        EXPECT_EQ(std::count(statuses.begin(), statuses.end(), c.running), 1);

        // Its result replaces the mark.
        ASSERT_TRUE(waitForRunEnd());
        EXPECT_EQ(page->session().lastRun().outcome, RunOutcome::Finished);
        EXPECT_EQ(statusOf(kSoftwareVersionItem), QStringLiteral("√"));
        for (const QString& status : itemColumn(1))
            EXPECT_NE(status, c.running);

        // Stopped while the reply is out: no mark is left that no result will replace.
        click(page->startButton());
        ASSERT_TRUE(QTest::qWaitFor([&] { return statusOf(kSoftwareVersionItem) == c.running; }, 10000));
        click(page->stopButton());
        ASSERT_TRUE(waitForRunEnd());
        EXPECT_EQ(page->session().lastRun().outcome, RunOutcome::Stopped);
        for (const QString& status : itemColumn(1))
            EXPECT_NE(status, c.running);
        expectIdle();

        answerer.stop();
        QObject::disconnect(&answerer, nullptr, nullptr, nullptr);
        page.reset();
        sim->stop();
        sim.reset();
    }
}

// A gateway that never answers: the connecting line stays while the watchdog waits, and goes with the
// time-out row.
TEST_F(DiagnosisPageFixture, SilentGatewayShowsTheAddressUntilTheTimeOut) {
    setUpProgram(kProgressSubnet);
    sim::Override silent;
    silent.prefix = "CONNECT";
    silent.noReply = true;
    startSimulator("KT540G", {silent});
    SessionOptions options;
    options.replyTimeoutSeconds = 5;
    options.watchdogPeriod = std::chrono::milliseconds(1500);
    makePage(nullptr, options);
    const QString connecting = QStringLiteral("正在连接 %1 …").arg(Q(gatewayAddress(kProgressSubnet)));

    click(page->startButton());
    QTest::qWait(500);
    EXPECT_EQ(ListLines(page->resultList()), QStringList{connecting});
    ASSERT_TRUE(waitForRunEnd());
    EXPECT_EQ(page->session().lastRun().outcome, RunOutcome::ConnectTimeout);
    EXPECT_TRUE(ListLines(page->resultList()).isEmpty());
    ASSERT_GE(page->itemList()->topLevelItemCount(), 1);
    EXPECT_EQ(page->itemList()->topLevelItem(0)->text(1), Q(TextId::ConnectTimeout));
    expectIdle();
}

// Confirming a model under a running diagnosis is refused with words about the model, not the words the
// main window uses when a page cannot be left.
TEST_F(DiagnosisPageFixture, RefusedConfirmSaysTheModelCannotChange) {
    struct Case {
        std::string language;
        QString refusal;
    };
    for (const Case& c :
         {Case{"Chinese", QStringLiteral("检测进行中，不能更改设备类型。")},
          Case{"English", QStringLiteral("A diagnosis is running: the device type cannot be changed.")}}) {
        SCOPED_TRACE(c.language);
        setUpProgram(kProgressSubnet, c.language);
        startSimulator();
        makePage();
        click(page->confirmButton());
        held.insert(WM_DIAG_LAN1_PROMPT);
        click(page->startButton());
        ASSERT_TRUE(waitForPrompt(WM_DIAG_LAN1_PROMPT));

        UiPrompts::clearShown();
        page->modelCombo()->setCurrentText(QStringLiteral("KT310"));
        click(page->confirmButton());
        EXPECT_EQ(UiPrompts::shownTexts(), QStringList{c.refusal});
        EXPECT_NE(c.refusal, QStringLiteral("检测进行中，不能切换。"));
        EXPECT_EQ(CurrentDeviceType(), "KT540G");

        click(page->stopButton());
        ASSERT_TRUE(waitForRunEnd());
        held.clear();
        answerer.stop();
        QObject::disconnect(&answerer, nullptr, nullptr, nullptr);
        page.reset();
        sim->stop();
        sim.reset();
    }
}

} // namespace
} // namespace orva::test

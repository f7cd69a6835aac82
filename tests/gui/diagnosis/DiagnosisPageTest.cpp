// The diagnosis page driven as a technician drives it: the buttons, the prompt window, the lists.
#include "DiagnosisPageFixture.h"

#include "TestSubnets.h"
#include "gui/controls/CBitComboBox.h"
#include "gui/controls/CLabelEx.h"
#include "gui/controls/CPngButton.h"

#include <QGroupBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QListWidget>

#include <atomic>
#include <chrono>
#include <thread>

namespace orva::test {
namespace {

sim::Override FailStatus(const std::string& prefix) {
    sim::Override o;
    o.prefix = prefix;
    o.status = "HG_HARDWARE_DIAG_FAIL";
    return o;
}

QStringList ResultTexts(const QListWidget* list) {
    QStringList out;
    for (int r = 0; r < list->count(); ++r)
        out << list->item(r)->text();
    return out;
}

// A template of KT540G that selects only these items.
DeviceTemplate Only(std::initializer_list<int> items) {
    DeviceTemplate t;
    t.model = "KT540G";
    for (int n : items)
        t.flags[static_cast<size_t>(n - 1)] = 1;
    return t;
}

TEST_F(DiagnosisPageFixture, WholeDiagnosisThroughThePage) {
    setUpProgram(orva::test::subnets::gui_diagnosis::kPageA);
    startSimulator("KT540G", {FailStatus("HG_HARDWARE_DIAG STEP=6")}); // USB fails
    makePage();
    answers[WM_DIAG_LED_JUDGE] = false; // the technician sees an LED dark

    // The model the page offers first, confirmed by the button; the main window is told.
    EXPECT_EQ(page->modelCombo()->currentText(), QStringLiteral("KT540G"));
    int confirmations = 0;
    QObject::connect(page.get(), &Page::modelConfirmed, [&] { ++confirmations; });
    click(page->confirmButton());
    EXPECT_EQ(confirmations, 1);
    EXPECT_EQ(CurrentDeviceType(), "KT540G");
    EXPECT_EQ(page->addressEdit()->text(), Q(gatewayAddress(orva::test::subnets::gui_diagnosis::kPageA)));

    click(page->startButton());
    ASSERT_TRUE(waitForRunEnd());
    EXPECT_EQ(page->session().lastRun().outcome, RunOutcome::Finished);

    // Every question went through the prompt window, OK alone for information, OK and Cancel to judge;
    // while it asked, the address entry was off and Start looked inactive.
    ASSERT_EQ(seen.size(), 22u);
    for (const SeenPrompt& p : seen) {
        EXPECT_EQ(p.cancelVisible, p.mode == 1) << p.questionId;
        EXPECT_FALSE(p.addressEnabled);
        EXPECT_TRUE(p.startInactive);
        EXPECT_FALSE(p.text.isEmpty()) << p.questionId;
    }
    EXPECT_EQ(seen.front().questionId, WM_DIAG_LAN1_PROMPT);
    EXPECT_EQ(seen.front().title, QStringLiteral("LAN1口测试"));
    EXPECT_EQ(seen.front().text, Q(TextId::PromptLan1));
    EXPECT_EQ(seen.back().questionId, WM_DIAG_LED_JUDGE);
    EXPECT_FALSE(page->judge()->isVisible());

    // Marks: the dark LED and the USB failure are crosses, the disk check shows the gateway's text.
    ASSERT_EQ(page->itemList()->topLevelItemCount(), 22);
    const auto names = itemColumn(0);
    const auto marks = itemColumn(1);
    for (int n = 1; n <= 22; ++n) {
        EXPECT_EQ(names[n - 1], Q(CheckItemName(n)));
        const QString expected = n == 14 || n == 15 ? QStringLiteral("X")
                                 : n == 22          ? QStringLiteral("OK")
                                                    : QStringLiteral("√");
        EXPECT_EQ(marks[n - 1], expected) << n;
        EXPECT_EQ(page->itemList()->topLevelItem(n - 1)->checkState(0), Qt::Checked) << n;
    }

    // Faults in the order they happened.
    EXPECT_EQ(ResultTexts(page->resultList()), QStringList({Q(TextId::ErrLed), Q(TextId::ErrUsb)}));
    EXPECT_EQ(page->productFormEdit()->text(), QStringLiteral("KT540G"));
    EXPECT_EQ(page->barcodeEdit()->text(), QStringLiteral("SN0170"));

    // The current-log tab: one row per check, numbered from 1.
    const auto current = rowsOf(page->currentLogTab()->list());
    ASSERT_EQ(current.size(), 22u);
    for (int n = 1; n <= 22; ++n) {
        EXPECT_EQ(current[n - 1][0], QString::number(n));
        EXPECT_EQ(current[n - 1][1], Q(CheckItemName(n)));
    }
    EXPECT_EQ(current[13][2], Q(TextId::ResultFailure));
    EXPECT_EQ(current[12][2], QStringLiteral("成功 35%"));
    // The all-logs tab: separator, heading, the checks, the closing row; numbered throughout.
    const auto all = rowsOf(page->allLogsTab()->list());
    ASSERT_EQ(all.size(), 25u);
    for (size_t r = 0; r < all.size(); ++r)
        EXPECT_EQ(all[r][0], QString::number(r + 1));
    const QString separator = QStringLiteral("------------------------------------------------");
    EXPECT_EQ(all[0][1], separator);
    EXPECT_EQ(all[0][2], separator);
    EXPECT_EQ(all[1][1], QStringLiteral("检测设备：KT540G"));
    EXPECT_TRUE(all[1][2].startsWith(QStringLiteral("SN:SN0170,诊断时间："))) << all[1][2].toStdString();
    for (int n = 1; n <= 22; ++n)
        EXPECT_EQ(all[n + 1][1], current[n - 1][1]);
    EXPECT_EQ(all[24][1], QStringLiteral(" "));
    EXPECT_EQ(all[24][2], QStringLiteral(" "));

    // The end: back to idle, the finished box, the record kept.
    EXPECT_FALSE(page->running());
    EXPECT_TRUE(page->addressEdit()->isEnabled());
    EXPECT_FALSE(page->startButton()->IsInactive());
    const QStringList shown = UiPrompts::shownTexts();
    EXPECT_TRUE(shown.contains(QStringLiteral("设备选择成功")));
    EXPECT_EQ(shown.back(), Q(TextId::DiagFinished));
    const auto logs = storedLogs();
    ASSERT_EQ(logs.size(), 1u);
    EXPECT_EQ(logs[0].record.Operator, "tech01");
    EXPECT_EQ(logs[0].record.sn, "SN0170");
    EXPECT_EQ(logs[0].record.LEDCheck, CheckNotTested);
    EXPECT_EQ(logs[0].record.USBCheck, CheckFailed);

    // A second diagnosis: the current-log tab starts again from 1, the all-logs tab goes on.
    page->session().setDeviceTemplate(Only({1, 17}));
    seen.clear();
    click(page->startButton());
    ASSERT_TRUE(waitForRunEnd());
    const auto current2 = rowsOf(page->currentLogTab()->list());
    ASSERT_EQ(current2.size(), 2u);
    EXPECT_EQ(current2[0][0], QStringLiteral("1"));
    EXPECT_EQ(current2[1][1], Q(CheckItemName(17)));
    EXPECT_EQ(page->itemList()->topLevelItem(1)->checkState(0), Qt::Unchecked);
    EXPECT_TRUE(ResultTexts(page->resultList()).isEmpty());
    const auto all2 = rowsOf(page->allLogsTab()->list());
    ASSERT_EQ(all2.size(), 25u + 5u);
    EXPECT_EQ(all2[25][0], QStringLiteral("26"));
    EXPECT_EQ(all2[25][1], separator);
    EXPECT_EQ(all2.back()[0], QStringLiteral("30"));
    EXPECT_EQ(storedLogs().size(), 2u);
}

TEST_F(DiagnosisPageFixture, StopDuringAQuestion) {
    setUpProgram(orva::test::subnets::gui_diagnosis::kPageB);
    startSimulator();
    makePage();
    held.insert(WM_DIAG_LAN1_PROMPT);

    click(page->startButton());
    ASSERT_TRUE(waitForPrompt(WM_DIAG_LAN1_PROMPT));
    EXPECT_TRUE(page->running());
    UiPrompts::clearShown();
    click(page->stopButton());

    EXPECT_FALSE(page->judge()->isVisible());
    EXPECT_FALSE(page->running());
    EXPECT_TRUE(page->addressEdit()->isEnabled());
    EXPECT_FALSE(page->startButton()->IsInactive());
    EXPECT_EQ(UiPrompts::shownTexts(), QStringList{Q(TextId::CheckStopped)});
    ASSERT_TRUE(waitForRunEnd());
    EXPECT_EQ(page->session().lastRun().outcome, RunOutcome::Stopped);

    // Nothing of the run is kept but what it showed: no checks yet, the all-logs tab's opening rows.
    QTest::qWait(200);
    EXPECT_EQ(page->currentLogTab()->list()->rowCount(), 0);
    EXPECT_EQ(page->allLogsTab()->list()->rowCount(), 2);
    EXPECT_TRUE(storedLogs().empty());
    EXPECT_FALSE(page->judge()->isVisible());

    // Stop again: nothing is running.
    UiPrompts::clearShown();
    click(page->stopButton());
    EXPECT_EQ(UiPrompts::shownTexts(), QStringList{Q(TextId::ThreadStopped)});
}

TEST_F(DiagnosisPageFixture, EscapeAnswersOnlyAJudgement) {
    setUpProgram(orva::test::subnets::gui_diagnosis::kPageD);
    startSimulator();
    makePage();
    page->session().setDeviceTemplate(Only({5}));
    held = {WM_DIAG_RING_PROMPT, WM_DIAG_RING_JUDGE};

    click(page->startButton());
    ASSERT_TRUE(waitForPrompt(WM_DIAG_RING_PROMPT));
    UiPrompts::clearShown();
    // On an information prompt the cancel key does nothing: the run still waits for OK.
    QTest::keyClick(page->judge(), Qt::Key_Escape);
    QTest::qWait(100);
    EXPECT_TRUE(page->judge()->isVisible());
    ASSERT_TRUE(page->session().openPrompt().has_value());
    EXPECT_EQ(page->session().openPrompt()->questionId, WM_DIAG_RING_PROMPT);
    EXPECT_TRUE(UiPrompts::shownTexts().isEmpty());

    click(page->judge()->okButton());
    ASSERT_TRUE(waitForPrompt(WM_DIAG_RING_JUDGE));
    // On a judgement it is the Cancel button: the ring was not heard.
    QTest::keyClick(page->judge(), Qt::Key_Escape);
    ASSERT_TRUE(waitForRunEnd());
    EXPECT_EQ(page->itemList()->topLevelItem(4)->text(1), QStringLiteral("X"));
    EXPECT_EQ(ResultTexts(page->resultList()), QStringList{Q(TextId::ErrPots1Ring)});
}

TEST_F(DiagnosisPageFixture, StartWithoutTemplateAndTheExitQuestion) {
    setUpProgram(orva::test::subnets::gui_diagnosis::kPageC);
    makePage();

    page->session().setDeviceTemplate(std::nullopt);
    click(page->startButton());
    EXPECT_FALSE(page->running());
    EXPECT_EQ(UiPrompts::shownTexts(), QStringList{Q(TextId::DeviceTypeNotSet)});
    EXPECT_TRUE(page->addressEdit()->isEnabled());

    // The cancel key asks before leaving; No keeps the page, Yes hides it.
    struct ExitCase {
        bool answer;
        bool visibleAfter;
    };
    for (const ExitCase& c : {ExitCase{false, true}, ExitCase{true, false}}) {
        UiPrompts::clearShown();
        UiPrompts::queueAnswer(c.answer);
        QTest::keyClick(page.get(), Qt::Key_Escape);
        const auto shown = UiPrompts::shown();
        ASSERT_EQ(shown.size(), 1u);
        EXPECT_EQ(shown[0].kind, UiPrompts::Kind::YesNo);
        EXPECT_EQ(shown[0].text, Q(TextId::ExitConfirm));
        EXPECT_EQ(shown[0].caption, Q(TextId::ExitTitle));
        EXPECT_EQ(page->isVisible(), c.visibleAfter) << c.answer;
    }
}

// Stores the records only once the test lets it, so a finished record stays pending meanwhile.
class HeldSink final : public RecordSink {
public:
    SinkResult store(const std::vector<DiagRecord>& pending) override {
        entered = true;
        while (!released)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        return inner.store(pending);
    }
    void report(const std::vector<DiagRecord>& pending, SinkResult& result, std::stop_token stop) override {
        inner.report(pending, result, std::move(stop));
    }
    std::atomic<bool> entered{false};
    std::atomic<bool> released{false};
    DefaultRecordSink inner;
};

TEST_F(DiagnosisPageFixture, ExitQuestionNamesThePendingRecords) {
    setUpProgram(orva::test::subnets::gui_diagnosis::kPageB);
    startSimulator();
    HeldSink sink;
    makePage(&sink);
    page->session().setDeviceTemplate(Only({17}));
    click(page->startButton());
    ASSERT_TRUE(QTest::qWaitFor([&] { return sink.entered.load(); }, 20000));

    UiPrompts::clearShown();
    UiPrompts::queueAnswer(false);
    QTest::keyClick(page.get(), Qt::Key_Escape);
    sink.released = true;
    const auto shown = UiPrompts::shown();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, QStringLiteral("还有 1 条记录未上报，确认退出？"));
    EXPECT_TRUE(page->isVisible());
    ASSERT_TRUE(waitForRunEnd());
    EXPECT_EQ(page->session().pendingRecords(), 0);
}

TEST_F(DiagnosisPageFixture, CaptionsFollowTheLanguage) {
    struct CaptionCase {
        std::string language;
        QString address, itemGroup, board, itemHeading, logHeading, save;
    };
    const std::vector<CaptionCase> cases = {
        {"Chinese", QStringLiteral("终端维护地址："), QStringLiteral("诊断项列表"), QStringLiteral("单板基本信息"),
         QStringLiteral("诊断项"), QStringLiteral("序号"), QStringLiteral("保存")},
        {"English", QStringLiteral("EPON Maintenance IP adress:"), QStringLiteral("Diagnosis Item"),
         QStringLiteral("Basic Board Information"), QStringLiteral("Item"), QStringLiteral("No"),
         QStringLiteral("save")},
    };
    for (const CaptionCase& c : cases) {
        SCOPED_TRACE(c.language);
        setUpProgram(orva::test::subnets::gui_diagnosis::kPageC, c.language);
        makePage();
        EXPECT_EQ(page->findChild<CLabelEx*>(QStringLiteral("addressCaption"))->text(), c.address);
        EXPECT_EQ(page->findChild<QGroupBox*>(QStringLiteral("itemGroup"))->title(), c.itemGroup);
        EXPECT_EQ(page->findChild<QGroupBox*>(QStringLiteral("boardGroup"))->title(), c.board);
        EXPECT_EQ(page->itemList()->headerItem()->text(0), c.itemHeading);
        EXPECT_EQ(page->itemList()->columnWidth(0), 250);
        EXPECT_EQ(page->itemList()->columnWidth(1), 200);
        for (const DiagLogList* list : {page->currentLogTab()->list(), page->allLogsTab()->list()}) {
            EXPECT_EQ(list->horizontalHeaderItem(0)->text(), c.logHeading);
            EXPECT_EQ(list->columnWidth(0), 60);
            EXPECT_EQ(list->columnWidth(1), 220);
            EXPECT_EQ(list->columnWidth(2), 220);
        }
        EXPECT_EQ(page->allLogsTab()->saveButton()->text(), c.save);
        EXPECT_TRUE(page->allLogsTab()->saveButton()->isVisible() || !page->allLogsTab()->isVisible());
        // One log tab at a time, by its button.
        EXPECT_TRUE(page->currentLogTab()->isVisible());
        click(page->allLogsButton());
        EXPECT_TRUE(page->allLogsTab()->isVisible());
        EXPECT_TRUE(page->allLogsTab()->saveButton()->isVisible());
        EXPECT_FALSE(page->currentLogTab()->isVisible());
        EXPECT_TRUE(page->allLogsButton()->IsSelected());
        EXPECT_FALSE(page->currentLogButton()->IsSelected());
        page.reset();
        answerer.stop();
        QObject::disconnect(&answerer, nullptr, nullptr, nullptr);
    }
}

} // namespace
} // namespace orva::test

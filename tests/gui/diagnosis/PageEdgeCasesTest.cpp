// The diagnosis page between and around runs: what it runs without a confirmed model, what the check
// boxes of the item list mean, and the buttons that must not disturb a run that is going.
#include "DiagnosisPageFixture.h"

#include "TestSubnets.h"
#include "core/diagnosis/DeviceModels.h"

#include <QLineEdit>

#include <algorithm>

namespace orva::test {
namespace {

const QString kModelConfirmed = QStringLiteral("设备选择成功");
const QString kModelLocked = QStringLiteral("检测进行中，不能更改设备类型。");
const std::string kPotsStop = "HG_HARDWARE_DIAG STEP=2 METHOD=STOP";

std::array<int, kCheckItemCount> FlagsOf(std::initializer_list<int> items) {
    std::array<int, kCheckItemCount> flags{};
    for (int n : items)
        flags[static_cast<size_t>(n - 1)] = 1;
    return flags;
}

std::vector<bool> TicksOf(const std::array<int, kCheckItemCount>& flags) {
    std::vector<bool> ticks;
    for (int f : flags)
        ticks.push_back(f == 1);
    return ticks;
}

std::vector<int> CheckedItems(const RunSummary& run) {
    std::vector<int> items;
    for (const CheckOutcome& c : run.checks)
        items.push_back(c.item);
    return items;
}

size_t Count(const std::vector<std::string>& commands, const std::string& command) {
    return static_cast<size_t>(std::count(commands.begin(), commands.end(), command));
}

void TypeModel(CBitComboBox* combo, const QString& model) {
    combo->lineEdit()->selectAll();
    combo->lineEdit()->setFocus();
    QTest::keyClick(combo->lineEdit(), Qt::Key_Backspace);
    QTest::keyClicks(combo->lineEdit(), model);
}

// KT540G in device.ini checks only LAN1 and the software version, so a run is short.
const auto kShortKt540g = FlagsOf({1, 17});

// Right after start-up nothing is confirmed, yet Start runs KT540G's template from device.ini and
// holds the gateway to that model.
struct StartUpCase {
    std::string gatewayModel;
    RunOutcome outcome;
    bool mismatch; // the model-mismatch box, else the finished one
    std::vector<int> checks;
};

class StartUpTest : public DiagnosisPageFixture, public ::testing::WithParamInterface<StartUpCase> {};

TEST_P(StartUpTest, StartWithoutConfirmingUsesKt540g) {
    const StartUpCase& c = GetParam();
    setUpProgram(orva::test::subnets::gui_diagnosis::kPageE);
    ASSERT_TRUE(SaveDeviceTemplate("KT540G", kShortKt540g));
    startSimulator(c.gatewayModel);
    makePage();
    EXPECT_EQ(page->modelCombo()->currentText(), QStringLiteral("KT540G"));
    EXPECT_EQ(CurrentDeviceType(), "");

    click(page->startButton());
    ASSERT_TRUE(waitForRunEnd());
    const RunSummary run = page->session().lastRun();
    EXPECT_EQ(run.outcome, c.outcome);
    EXPECT_EQ(UiPrompts::shownTexts(), QStringList{c.mismatch ? kModelMismatch : Q(TextId::DiagFinished)});
    EXPECT_EQ(itemTicks(), TicksOf(kShortKt540g));
    EXPECT_EQ(CheckedItems(run), c.checks);
    EXPECT_EQ(CurrentDeviceType(), "");
    if (c.outcome == RunOutcome::Finished) {
        // No model is confirmed, so no model leaves out the telephone start and stop.
        const auto commands = sim->commands();
        EXPECT_EQ(Count(commands, kPotsStart), 1u);
        EXPECT_EQ(Count(commands, kPotsStop), 1u);
        const auto logs = storedLogs();
        ASSERT_EQ(logs.size(), 1u);
        EXPECT_EQ(logs[0].record.DeviceType, "KT540G");
    } else {
        EXPECT_TRUE(storedLogs().empty());
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, StartUpTest,
                         ::testing::Values(StartUpCase{"KT540G", RunOutcome::Finished, false, {1, 17}},
                                           StartUpCase{"KT540G-U", RunOutcome::ModelMismatch, true, {}}));

TEST_F(DiagnosisPageFixture, ConfirmTicksOnlyRowsThatExist) {
    setUpProgram(orva::test::subnets::gui_diagnosis::kPageE);
    ASSERT_TRUE(SaveDeviceTemplate("KT540G", kShortKt540g));
    startSimulator();
    makePage();

    // Before any run the item list has no rows to tick.
    click(page->confirmButton());
    EXPECT_EQ(UiPrompts::shownTexts(), QStringList{kModelConfirmed});
    EXPECT_EQ(page->itemList()->topLevelItemCount(), 0);

    // The next run that connects makes the rows, ticked by the confirmed template.
    click(page->startButton());
    ASSERT_TRUE(waitForRunEnd());
    EXPECT_EQ(itemTicks(), TicksOf(kShortKt540g));
    EXPECT_EQ(page->itemList()->topLevelItem(0)->text(1), QStringLiteral("√"));

    // Confirming after a run ticks the rows by the new template and empties the status column; a model
    // that is not listed is loaded all the same but does not become the current model.
    struct ConfirmCase {
        QString typed;
        std::array<int, kCheckItemCount> flags;
        std::string currentAfter;
        int confirmations;
    };
    std::array<int, kCheckItemCount> kt310{};
    kt310.fill(1);
    kt310[14] = 0;
    const std::vector<ConfirmCase> cases = {
        {QStringLiteral("KT310"), kt310, "KT310", 1},
        {QStringLiteral("KT999"), {}, "KT310", 0},
    };
    for (const ConfirmCase& c : cases) {
        SCOPED_TRACE(c.typed.toStdString());
        int confirmations = 0;
        auto connection = QObject::connect(page.get(), &Page::modelConfirmed, [&] { ++confirmations; });
        TypeModel(page->modelCombo(), c.typed);
        UiPrompts::clearShown();
        click(page->confirmButton());
        QObject::disconnect(connection);
        EXPECT_EQ(UiPrompts::shownTexts(), QStringList{kModelConfirmed});
        EXPECT_EQ(confirmations, c.confirmations);
        EXPECT_EQ(CurrentDeviceType(), c.currentAfter);
        EXPECT_EQ(itemTicks(), TicksOf(c.flags));
        for (const QString& status : itemColumn(1))
            EXPECT_TRUE(status.isEmpty());
        ASSERT_TRUE(page->session().deviceTemplate().has_value());
        EXPECT_EQ(page->session().deviceTemplate()->model, c.typed.toStdString());
        EXPECT_EQ(page->session().deviceTemplate()->flags, c.flags);
    }
}

TEST_F(DiagnosisPageFixture, CheckBoxesDoNotChooseWhatRuns) {
    setUpProgram(orva::test::subnets::gui_diagnosis::kPageE);
    ASSERT_TRUE(SaveDeviceTemplate("KT540G", kShortKt540g));
    startSimulator();
    makePage();
    click(page->confirmButton());
    click(page->startButton());
    ASSERT_TRUE(waitForRunEnd());
    ASSERT_EQ(page->itemList()->topLevelItemCount(), 22);

    // The technician flips every box: the ticked ones off, the others on.
    for (int r = 0; r < 22; ++r) {
        QTreeWidgetItem* item = page->itemList()->topLevelItem(r);
        item->setCheckState(0, item->checkState(0) == Qt::Checked ? Qt::Unchecked : Qt::Checked);
    }
    click(page->startButton());
    ASSERT_TRUE(waitForRunEnd());
    EXPECT_EQ(page->session().lastRun().outcome, RunOutcome::Finished);
    EXPECT_EQ(CheckedItems(page->session().lastRun()), (std::vector<int>{1, 17}));
    EXPECT_EQ(itemTicks(), TicksOf(kShortKt540g));
    EXPECT_EQ(page->currentLogTab()->list()->rowCount(), 2);
}

TEST_F(DiagnosisPageFixture, StartAndConfirmDuringARunChangeNothing) {
    setUpProgram(orva::test::subnets::gui_diagnosis::kPageE);
    ASSERT_TRUE(SaveDeviceTemplate("KT540G", kShortKt540g));
    startSimulator();
    makePage();
    click(page->confirmButton());
    held.insert(WM_DIAG_LAN1_PROMPT);
    click(page->startButton());
    ASSERT_TRUE(waitForPrompt(WM_DIAG_LAN1_PROMPT));
    ASSERT_EQ(page->itemList()->topLevelItemCount(), 22);
    const int allRows = page->allLogsTab()->list()->rowCount();

    UiPrompts::clearShown();
    click(page->startButton());
    EXPECT_TRUE(UiPrompts::shownTexts().isEmpty());
    EXPECT_EQ(page->itemList()->topLevelItemCount(), 22);
    EXPECT_EQ(itemTicks(), TicksOf(kShortKt540g));
    EXPECT_EQ(page->allLogsTab()->list()->rowCount(), allRows);
    EXPECT_TRUE(page->judge()->isVisible());
    EXPECT_EQ(page->judge()->questionId(), WM_DIAG_LAN1_PROMPT);

    // Another model cannot be confirmed under a running diagnosis either.
    TypeModel(page->modelCombo(), QStringLiteral("KT310"));
    click(page->confirmButton());
    EXPECT_EQ(UiPrompts::shownTexts(), QStringList{kModelLocked});
    EXPECT_EQ(CurrentDeviceType(), "KT540G");
    EXPECT_EQ(page->session().deviceTemplate()->model, "KT540G");
    EXPECT_EQ(itemTicks(), TicksOf(kShortKt540g));

    held.clear();
    ASSERT_TRUE(waitForRunEnd());
    EXPECT_EQ(page->session().lastRun().outcome, RunOutcome::Finished);
    EXPECT_EQ(Count(sim->commands(), "CONNECT"), 1u);
    EXPECT_EQ(page->currentLogTab()->list()->rowCount(), 2);
    EXPECT_EQ(page->allLogsTab()->list()->rowCount(), 5);
    EXPECT_EQ(storedLogs().size(), 1u);
}

} // namespace
} // namespace orva::test

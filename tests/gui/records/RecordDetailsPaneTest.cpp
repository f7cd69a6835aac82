// The details beside the log query page's list, after a real diagnosis against the simulator in which
// the technician answered the LED question "no": the page, driven offscreen, shows the record's checks
// and its LED fault for the selected row, "no faults recorded" for a record without, and its export
// carries the fault on a sheet of its own.
#include "../shell/GuiTestSupport.h"
#include "XlrdReader.h"

#include "SimulatorPeers.h"
#include "TestSubnets.h"
#include "core/app/TextTable.h"
#include "core/diagnosis/DiagnosisMessages.h"
#include "core/diagnosis/DiagnosisSession.h"
#include "core/records/RecordStore.h"
#include "gui/common/UiPrompts.h"
#include "gui/controls/CPngButton.h"
#include "gui/records/CDlgLogQuery.h"
#include "gui/records/LogRowsModel.h"
#include "gui/records/RecordDetailsPane.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QSplitter>
#include <QTableView>

#include <memory>

namespace orva {
namespace {

using guitest::Q;

constexpr int kDetailsSubnet = orva::test::subnets::gui_records::kDetails;

// Answers every question yes, but the LED's no; information prompts are only acknowledged.
class AnsweringView final : public DiagnosisView {
public:
    DiagnosisSession* session = nullptr;
    void questionOpened(const Prompt& p, int) override {
        if (session)
            session->answer(p.mode == 0 || p.questionId != WM_DIAG_LED_JUDGE);
    }
    void message(const std::string&) override {}
};

class RecordDetailsPaneTest : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override {
        UiPrompts::clearShown();
        program_ = std::make_unique<guitest::ProgramFixture>(
            kDetailsSubnet, std::map<std::string, std::string>{{"Language", GetParam()}}, "orva-gui-details");
        ASSERT_EQ(LanguageName(), GetParam());
        ASSERT_TRUE(test::StartSimulator(sim_, kDetailsSubnet, {.model = "KT540G", .sn = "SN0090"}));
    }
    void TearDown() override {
        page_.reset();
        if (sim_)
            sim_->stop();
        program_.reset();
    }

    // One diagnosis of LAN1, the LED and USB; the record goes to the program directory's orvalog.db.
    void diagnose() {
        AnsweringView view;
        DiagnosisSession session(view, nullptr, [] {
            SessionOptions o;
            o.replyTimeoutSeconds = 1;
            return o;
        }());
        view.session = &session;
        session.initialise();
        session.setOperator("tech01");
        DeviceTemplate t;
        t.model = "KT540G";
        for (int n : {1, 14, 15})
            t.flags[static_cast<std::size_t>(n - 1)] = 1;
        session.setDeviceTemplate(t);
        ASSERT_TRUE(session.start(test::gatewayAddress(kDetailsSubnet)));
        ASSERT_TRUE(session.waitForRunEnd(std::chrono::seconds(60)));
        ASSERT_EQ(session.lastRun().stored, RecordStore::Stored);
    }

    CDlgLogQuery& page() {
        if (!page_) {
            page_ = std::make_unique<CDlgLogQuery>();
            page_->show();
            EXPECT_TRUE(QTest::qWaitForWindowExposed(page_.get()));
        }
        return *page_;
    }
    void pressSearch() {
        QSignalSpy finished(&page(), &CDlgLogQuery::searchFinished);
        QTest::mouseClick(page().searchButton(), Qt::LeftButton);
        ASSERT_TRUE(finished.count() == 1 || finished.wait(60000));
    }
    // Clicks the row's first cell, as the technician selects a record.
    void clickRow(int row) {
        QTableView* list = page().resultList();
        const QRect cell = list->visualRect(page().resultModel()->index(row, 0));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, cell.center());
    }
    std::string paneText() { return page().detailsPane()->text().toStdString(); }

    UiPromptsTestScope prompts_;
    test::RecordingNotifier notes_;
    std::unique_ptr<guitest::ProgramFixture> program_;
    std::unique_ptr<sim::GatewaySimulator> sim_;
    std::unique_ptr<CDlgLogQuery> page_;
};

TEST_P(RecordDetailsPaneTest, TheSelectedRecordShowsItsChecksAndFaults) {
    // An older record with no faults kept (as every record stored before faults were).
    {
        RecordStore store;
        ASSERT_TRUE(store.open("logs"));
        DiagRecord old;
        old.sn = "OLD0001";
        ASSERT_EQ(store.insert("logs", {old}), RecordStore::Stored);
    }
    diagnose();

    // The row keeps 9 for the LED: only the faults table tells the "no" from a check never run.
    {
        RecordStore store;
        ASSERT_TRUE(store.open("logs"));
        const std::vector<StoredRecord> logs = store.logsAfter(0);
        ASSERT_EQ(logs.size(), 2u);
        EXPECT_EQ(logs[1].record.sn, "SN0090");
        EXPECT_EQ(logs[1].record.LEDCheck, CheckNotTested);
        EXPECT_EQ(logs[1].record.FE1Check, CheckPassed);
        EXPECT_EQ(store.faultsOfLog(2), (std::optional<std::vector<RecordFault>>{{{14, Text(TextId::ErrLed)}}}));
    }

    EXPECT_EQ(page().detailsPane()->text(), Q(Text(TextId::DetailsNoSelection)));
    // The list and the pane share the page's room in a splitter; the pane is below the list.
    auto* split = page().findChild<QSplitter*>(QStringLiteral("resultSplitter"));
    ASSERT_NE(split, nullptr);
    EXPECT_EQ(split->widget(0), page().resultList());
    EXPECT_EQ(split->widget(1), page().detailsPane());
    EXPECT_GT(page().detailsPane()->height(), 50);

    pressSearch();
    ASSERT_EQ(page().resultModel()->rowCount(), 2);
    clickRow(0); // newest first: the diagnosis
    const std::string text = paneText();
    const std::string ledName = Text(TextId::ItemLed);
    for (const std::string& line :
         {std::string("SN0090"),
          "\n" + Text(TextId::DetailsFaults) + "\n  14 " + ledName + ": " + Text(TextId::ErrLed) + "\n",
          "  01 " + Text(TextId::ItemLan1) + ": 成功\n", "  14 " + ledName + ": 未检测\n",
          "  15 " + Text(TextId::ItemUsb) + ": 成功\n"})
        EXPECT_NE(text.find(line), std::string::npos) << line << "\n" << text;
    EXPECT_EQ(text.find(Text(TextId::DetailsNoFaults)), std::string::npos) << text;

    clickRow(1);
    EXPECT_NE(paneText().find("OLD0001"), std::string::npos) << paneText();
    EXPECT_NE(paneText().find(Text(TextId::DetailsFaults) + "\n  " + Text(TextId::DetailsNoFaults) + "\n"),
              std::string::npos)
        << paneText();

    // A new search empties the list, and with it the pane.
    page().serialEdit()->setText(QStringLiteral("NONE"));
    pressSearch();
    EXPECT_EQ(page().detailsPane()->text(), Q(Text(TextId::DetailsNoSelection)));

    // The export of the shown rows has the LED fault on its faults sheet.
    page().serialEdit()->clear();
    pressSearch();
    const std::string path = program_->dir().file("faults.xls");
    UiPrompts::queueFileName(Q(path));
    QSignalSpy exported(&page(), &CDlgLogQuery::exportFinished);
    QTest::mouseClick(page().exportButton(), Qt::LeftButton);
    ASSERT_TRUE(exported.count() == 1 || exported.wait(60000));
    ASSERT_TRUE(exported.front().front().toBool());
    const test::XlrdBook book = test::ReadWorkbook(path);
    ASSERT_TRUE(book.ok) << book.error;
    ASSERT_EQ(book.sheets.size(), 2u);
    EXPECT_EQ(book.sheets[1].name, Text(TextId::FaultSheetName));
    ASSERT_EQ(book.sheets[1].cells.size(), 2u);
    const std::vector<std::string> row = book.sheets[1].cells[1];
    ASSERT_EQ(row.size(), 7u);
    EXPECT_EQ(row[0], "2");
    EXPECT_EQ(row[1], "SN0090");
    EXPECT_EQ(row[4], "14");
    EXPECT_EQ(row[5], ledName);
    EXPECT_EQ(row[6], Text(TextId::ErrLed));
    EXPECT_TRUE(notes_.messages().empty()) << ::testing::PrintToString(notes_.messages());
}

INSTANTIATE_TEST_SUITE_P(Languages, RecordDetailsPaneTest, ::testing::Values("Chinese", "English"),
                         [](const auto& info) { return std::string(info.param); });

} // namespace
} // namespace orva

// The two spreadsheet exports side by side, the query page's and the diagnosis page's all-logs one:
// their "保存" buttons keep a caption whatever `Language` says, and a failed export is told by the same
// box on both.
#include "../shell/GuiTestSupport.h"
#include "TestSubnets.h"

#include "gui/controls/CPngButton.h"
#include "gui/diagnosis/CPage2Dlg.h"
#include "gui/records/CDlgLogQuery.h"
#include "gui/records/LogRowsModel.h"
#include "core/records/RecordStore.h"

#include <QDateEdit>
#include <QPushButton>
#include <QSignalSpy>

#include <memory>

namespace orva {
namespace {

constexpr int kExportsSubnet = orva::test::subnets::gui_records::kExports;

std::unique_ptr<guitest::ProgramFixture> Program(const std::string& language) {
    return std::make_unique<guitest::ProgramFixture>(
        kExportsSubnet, std::map<std::string, std::string>{{"Language", language}}, "orva-gui-exports");
}

struct CaptionCase {
    const char* language;
    const char* caption;
};

class SaveButtons : public ::testing::TestWithParam<CaptionCase> {};

TEST_P(SaveButtons, KeepACaptionInEveryLanguage) {
    const auto program = Program(GetParam().language);
    CDlgLogQuery query;
    CPage2Dlg allLogs(nullptr);
    EXPECT_EQ(query.exportButton()->text().toStdString(), GetParam().caption);
    EXPECT_EQ(allLogs.saveButton()->text().toStdString(), GetParam().caption);
}

// A language the tool does not know selects none: the controls keep their built-in Chinese captions.
INSTANTIATE_TEST_SUITE_P(Languages, SaveButtons,
                         ::testing::Values(CaptionCase{"Chinese", "保存"}, CaptionCase{"English", "save"},
                                           CaptionCase{"Klingon", "保存"}, CaptionCase{"", "保存"}),
                         [](const auto& info) {
                             return info.param.language[0] ? std::string(info.param.language) : std::string("Empty");
                         });

class FailedExport : public ::testing::Test {
protected:
    void SetUp() override {
        program_ = Program("Chinese");
        RecordStore store(program_->dir().file("orvalog.db"));
        ASSERT_TRUE(store.open("logs"));
        DiagRecord r;
        r.sn = "SN1";
        r.DeviceType = "T";
        r.Operator = "op";
        ASSERT_EQ(store.insert("logs", {r}, "2024-05-10 08:00:00"), RecordStore::Stored);
    }
    void TearDown() override { program_.reset(); }
    // Where no file can be written: its folder does not exist.
    QString unwritable() const { return guitest::Q(program_->dir().file("missing-folder/out.xls")); }
    // The prompts after the save dialog.
    static std::vector<UiPrompts::Shown> boxes() {
        auto shown = UiPrompts::shown();
        EXPECT_FALSE(shown.empty());
        if (!shown.empty()) {
            EXPECT_EQ(shown.front().kind, UiPrompts::Kind::SaveFile);
            shown.erase(shown.begin());
        }
        return shown;
    }
    static void expectOneFailureBox(const std::vector<UiPrompts::Shown>& boxes) {
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].kind, UiPrompts::Kind::Information);
        EXPECT_TRUE(boxes[0].text.startsWith(QStringLiteral("Excel文件保存失败!"))) << boxes[0].text.toStdString();
    }

    UiPromptsTestScope prompts_;
    std::unique_ptr<guitest::ProgramFixture> program_;
};

TEST_F(FailedExport, OfTheQueryPageShowsTheBox) {
    CDlgLogQuery page;
    page.show();
    page.startDateEdit()->setDate(QDate(2024, 5, 10));
    page.endDateEdit()->setDate(QDate(2024, 5, 10));
    QSignalSpy searched(&page, &CDlgLogQuery::searchFinished);
    QTest::mouseClick(page.searchButton(), Qt::LeftButton);
    ASSERT_TRUE(searched.count() == 1 || searched.wait(20000));
    ASSERT_EQ(page.resultModel()->rowCount(), 1);
    UiPrompts::queueFileName(unwritable());
    QSignalSpy finished(&page, &CDlgLogQuery::exportFinished);
    QTest::mouseClick(page.exportButton(), Qt::LeftButton);
    ASSERT_TRUE(finished.count() == 1 || finished.wait(20000));
    expectOneFailureBox(boxes());
}

TEST_F(FailedExport, OfTheAllLogsTabShowsTheSameBox) {
    CPage2Dlg tab(nullptr);
    tab.show();
    tab.appendResultRow("LAN1", "成功");
    QSignalSpy exported(&tab, &CPage2Dlg::exported);
    UiPrompts::queueFileName(unwritable());
    QTest::mouseClick(tab.saveButton(), Qt::LeftButton);
    expectOneFailureBox(boxes());
    EXPECT_EQ(exported.count(), 0);
}

} // namespace
} // namespace orva

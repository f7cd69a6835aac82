// The log query page driven like a technician would: filters typed, the search and export buttons
// pressed, against a real orvalog.db in the test's own program directory.
#include "../shell/GuiTestSupport.h"
#include "XlrdReader.h"

#include "TestSubnets.h"
#include "gui/controls/CPngButton.h"
#include "gui/records/CDlgLogQuery.h"
#include "gui/records/LogRowsModel.h"
#include "core/records/RecordStore.h"

#include <QDateEdit>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>

#include <filesystem>
#include <memory>

namespace orva {
namespace {

using guitest::Q;

// Nothing here touches the network; the subnet only keeps the settings file apart from other suites'.
constexpr int kQuerySubnet = orva::test::subnets::gui_records::kQuery;

const QDate kMay9{2024, 5, 9}, kMay10{2024, 5, 10}, kMay11{2024, 5, 11}, kMay12{2024, 5, 12};

struct Filters {
    std::string serial;
    std::string deviceType;
    std::string operatorName;
    QDate from;
    QDate to;
};

class LogQueryPageTest : public ::testing::Test {
protected:
    void SetUp() override {
        UiPrompts::clearShown();
        program_ = std::make_unique<guitest::ProgramFixture>(kQuerySubnet, std::map<std::string, std::string>{},
                                                             "orva-gui-logquery");
        store_ = std::make_unique<RecordStore>(program_->dir().file("orvalog.db"));
        ASSERT_TRUE(store_->open("logs"));
    }
    void TearDown() override {
        page_.reset();
        store_.reset();
        program_.reset();
    }

    void add(const std::string& at, const std::string& sn, const std::string& type, const std::string& op) {
        DiagRecord r;
        r.sn = sn;
        r.DeviceType = type;
        r.Operator = op;
        ASSERT_EQ(store_->insert("logs", {r}, at), RecordStore::Stored);
    }
    // Five rows around 2024-05-10, ids 1 to 5.
    void addFiveDays() {
        add("2024-05-09 23:59:59", "SN1", "TypeA", "alice");
        add("2024-05-10 00:00:00", "SN2", "TypeA", "bob");
        add("2024-05-10 12:30:00", "SN1", "TypeB", "bob");
        add("2024-05-10 23:59:59", "SN3", "TypeB", "alice");
        add("2024-05-11 00:00:00", "SN4", "TypeC", "carol");
    }

    CDlgLogQuery& page() {
        if (!page_) {
            page_ = std::make_unique<CDlgLogQuery>();
            page_->show();
            EXPECT_TRUE(QTest::qWaitForWindowExposed(page_.get()));
        }
        return *page_;
    }
    LogRowsModel& model() { return *page().resultModel(); }

    void fill(const Filters& f) {
        page().serialEdit()->setText(Q(f.serial));
        page().deviceTypeEdit()->setText(Q(f.deviceType));
        page().operatorEdit()->setText(Q(f.operatorName));
        if (f.from.isValid())
            page().startDateEdit()->setDate(f.from);
        if (f.to.isValid())
            page().endDateEdit()->setDate(f.to);
    }
    // Presses the search button and waits until the rows are in the list.
    void pressSearch() {
        QSignalSpy finished(&page(), &CDlgLogQuery::searchFinished);
        QTest::mouseClick(page().searchButton(), Qt::LeftButton);
        ASSERT_TRUE(finished.count() == 1 || finished.wait(120000));
    }
    void search(const Filters& f) {
        fill(f);
        pressSearch();
    }
    std::vector<std::string> column(int c) {
        std::vector<std::string> texts;
        for (int r = 0; r < model().rowCount(); ++r)
            texts.push_back(model().cellText(r, c).toStdString());
        return texts;
    }
    std::vector<std::string> shownRow(int r) {
        std::vector<std::string> texts;
        for (int c = 0; c < model().columnCount(); ++c)
            texts.push_back(model().cellText(r, c).toStdString());
        return texts;
    }
    // Presses the export button and, when it started writing, waits for the outcome.
    bool pressExport(bool expectWrite) {
        QSignalSpy finished(&page(), &CDlgLogQuery::exportFinished);
        QTest::mouseClick(page().exportButton(), Qt::LeftButton);
        if (!expectWrite)
            return false;
        EXPECT_TRUE(finished.count() == 1 || finished.wait(120000));
        return !finished.isEmpty() && finished.front().front().toBool();
    }

    UiPromptsTestScope prompts_;
    test::RecordingNotifier notes_;
    std::unique_ptr<guitest::ProgramFixture> program_;
    std::unique_ptr<RecordStore> store_;
    std::unique_ptr<CDlgLogQuery> page_;
};

struct FilterCase {
    const char* what;
    Filters filters;
    std::vector<std::string> ids; // top to bottom
};

TEST_F(LogQueryPageTest, FiltersTheirPrecedenceAndDateBounds) {
    addFiveDays();
    add("2024-05-10 08:00:00", "a'b", "Type'X", "O'Neil"); // id 6
    const std::vector<FilterCase> cases = {
        {"serial wins over the others", {"SN1", "TypeC", "carol", kMay11, kMay11}, {"3", "1"}},
        {"device type wins over operator", {"", "TypeA", "alice", kMay11, kMay11}, {"2", "1"}},
        {"operator alone, dates ignored", {"", "", "bob", kMay9, kMay9}, {"3", "2"}},
        {"one day includes both ends", {"", "", "", kMay10, kMay10}, {"6", "4", "3", "2"}},
        {"two days", {"", "", "", kMay10, kMay11}, {"6", "5", "4", "3", "2"}},
        {"whole range", {"", "", "", kMay9, kMay12}, {"6", "5", "4", "3", "2", "1"}},
        {"start after end", {"", "", "", kMay11, kMay10}, {}},
        {"day without rows", {"", "", "", kMay12, kMay12}, {}},
        {"serial without rows", {"SN9", "", "", kMay10, kMay10}, {}},
        {"serial with a quote", {"a'b", "", "", kMay12, kMay12}, {"6"}},
        {"device type with a quote", {"", "Type'X", "", kMay12, kMay12}, {"6"}},
        {"exact match, not a prefix", {"SN", "", "", kMay12, kMay12}, {}},
    };
    for (const auto& c : cases) {
        search(c.filters);
        EXPECT_EQ(column(0), c.ids) << c.what;
        EXPECT_FALSE(page().busy()) << c.what;
    }
}

TEST_F(LogQueryPageTest, TypedOperatorWithAQuoteFindsItsRow) {
    add("2024-05-10 08:00:00", "SN7", "TypeA", "O'Neil");
    add("2024-05-10 09:00:00", "SN8", "TypeA", "ONeil");
    QTest::keyClicks(page().operatorEdit(), "O'Neil");
    pressSearch();
    EXPECT_EQ(column(3), std::vector<std::string>{"SN7"});
    EXPECT_EQ(column(2), std::vector<std::string>{"O'Neil"});
}

TEST_F(LogQueryPageTest, DatesStartAtTodayAndFindTodaysRows) {
    add("2024-05-10 08:00:00", "OLD", "TypeA", "alice");
    DiagRecord today;
    today.sn = "TODAY";
    ASSERT_EQ(store_->insert("logs", {today}), RecordStore::Stored);
    const QDate now = QDate::currentDate();
    EXPECT_EQ(page().startDateEdit()->date(), now);
    EXPECT_EQ(page().endDateEdit()->date(), now);
    EXPECT_TRUE(page().startDateEdit()->calendarPopup());
    EXPECT_TRUE(page().endDateEdit()->calendarPopup());
    pressSearch();
    EXPECT_EQ(column(3), std::vector<std::string>{"TODAY"});
}

TEST_F(LogQueryPageTest, TitlesAndCellTexts) {
    DiagRecord r;
    r.Mac = "AA-BB-CC-DD-EE-FF";
    r.Operator = "1"; // mapped like any result: whatever the column, only the text counts
    r.sn = "SN-X";
    r.DeviceType = "HG260GS";
    r.FE1Check = 0;
    r.FE2Check = 1;
    r.FE3Check = 9;
    r.FE4Check = 7;
    r.SoftWareVersionCheck = "V1.0";
    r.PSCheck = "";
    r.CPULoadCheck = 0;
    r.MemCheck = 12.5f;
    r.PreConfigCheck = 1;
    r.DiskIntegrityCheck = 0;
    ASSERT_EQ(store_->insert("logs", {r}, "2024-05-10 08:00:00"), RecordStore::Stored);
    search({"SN-X", "", "", {}, {}});

    const std::vector<std::string> titles = {
        "ID",         "Mac地址",      "操作员",   "序列号",       "设备类型",   "FE1测试",        "FE2测试", "FE3测试",
        "FE4测试",    "POS1测试",     "POS2测试", "上行链路测试", "Flash测试",  "LED测试",        "USB测试", "Wifi测试",
        "软件版本号", "关键进程测试", "CPU使用",  "Mem使用",      "预配置检测", "磁盘一致性检查", "日期"};
    ASSERT_EQ(model().columnCount(), static_cast<int>(titles.size()));
    QHeaderView* header = page().resultList()->horizontalHeader();
    for (int c = 0; c < model().columnCount(); ++c) {
        EXPECT_EQ(model().headerData(c, Qt::Horizontal).toString().toStdString(), titles[c]) << c;
        EXPECT_EQ(header->sectionSize(c), 60) << c;
    }
    const std::vector<std::string> shown = {"1",
                                            "AA-BB-CC-DD-EE-FF",
                                            "成功",
                                            "SN-X",
                                            "HG260GS",
                                            "失败",
                                            "成功",
                                            "未检测",
                                            "7",
                                            "未检测",
                                            "未检测",
                                            "未检测",
                                            "未检测",
                                            "未检测",
                                            "未检测",
                                            "未检测",
                                            "V1.0",
                                            "",
                                            "0.000000",
                                            "12.500000",
                                            "成功",
                                            "失败",
                                            "2024-05-10 08:00:00"};
    EXPECT_EQ(shownRow(0), shown); // the id 1 stays "1": the first cell is never mapped
    EXPECT_EQ(page().resultList()->selectionBehavior(), QAbstractItemView::SelectRows);
    EXPECT_TRUE(page().resultList()->showGrid());
}

TEST_F(LogQueryPageTest, NewestFirst) {
    for (const char* sn : {"A", "B", "C"})
        add("2024-05-10 08:00:00", sn, "T", "op");
    search({"", "T", "", {}, {}});
    EXPECT_EQ(column(0), (std::vector<std::string>{"3", "2", "1"}));
    EXPECT_EQ(column(3), (std::vector<std::string>{"C", "B", "A"}));
}

TEST_F(LogQueryPageTest, ColumnsAppearWithTheFirstSearchThatFindsRowsAndStay) {
    add("2024-05-10 08:00:00", "SN1", "T", "op");
    search({"none", "", "", {}, {}});
    EXPECT_EQ(model().columnCount(), 0);
    EXPECT_EQ(model().rowCount(), 0);
    search({"SN1", "", "", {}, {}});
    EXPECT_EQ(model().columnCount(), 23);
    EXPECT_EQ(model().rowCount(), 1);
    search({"none", "", "", {}, {}});
    EXPECT_EQ(model().columnCount(), 23);
    EXPECT_EQ(model().rowCount(), 0);
}

TEST_F(LogQueryPageTest, AHundredThousandRowsLoad) {
    constexpr int kRows = 100000;
    std::vector<DiagRecord> records(kRows);
    for (int i = 0; i < kRows; ++i)
        records[i].sn = "SN" + std::to_string(i + 1);
    ASSERT_EQ(store_->insert("logs", records), RecordStore::Stored);

    QSignalSpy finished(&page(), &CDlgLogQuery::searchFinished);
    QTest::mouseClick(page().searchButton(), Qt::LeftButton);
    // The rows arrive through the event loop, so right after the press the search is still under way.
    EXPECT_TRUE(page().busy());
    EXPECT_FALSE(page().searchButton()->isEnabled());
    EXPECT_FALSE(page().exportButton()->isEnabled());
    QTest::mouseClick(page().searchButton(), Qt::LeftButton); // ignored while busy
    ASSERT_TRUE(finished.wait(300000));
    EXPECT_EQ(finished.front().front().toInt(), kRows);
    EXPECT_EQ(model().rowCount(), kRows);
    EXPECT_EQ(page().resultList()->model()->rowCount(), kRows);
    EXPECT_EQ(model().cellText(0, 0), "100000");
    EXPECT_EQ(model().cellText(0, 3), "SN100000");
    EXPECT_EQ(model().cellText(kRows - 1, 0), "1");
    EXPECT_TRUE(page().searchButton()->isEnabled());
    page().resultList()->scrollToBottom();
    QCoreApplication::processEvents();
    EXPECT_EQ(finished.count(), 1);
}

TEST_F(LogQueryPageTest, ExportWritesTheShownRows) {
    addFiveDays();
    page().setOperatorName("alice");
    search({"", "", "", kMay10, kMay10});
    ASSERT_EQ(model().rowCount(), 3);
    const std::string path = program_->dir().file("query.xls");
    UiPrompts::queueFileName(Q(path));
    ASSERT_TRUE(pressExport(true));

    const auto shown = UiPrompts::shown();
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0].kind, UiPrompts::Kind::SaveFile);
    EXPECT_TRUE(QRegularExpression("^\\d+\\.xls$").match(shown[0].caption).hasMatch())
        << shown[0].caption.toStdString();
    EXPECT_TRUE(shown[0].filter.contains("*.xls"));
    EXPECT_EQ(shown[1].text, "Excel文件保存成功!");

    const test::XlrdBook book = test::ReadWorkbook(path);
    ASSERT_TRUE(book.ok) << book.error;
    ASSERT_EQ(book.sheets.size(), 1u);
    EXPECT_EQ(book.sheets[0].name, "alice");
    const auto& cells = book.sheets[0].cells;
    ASSERT_EQ(cells.size(), 4u);
    for (int c = 0; c < model().columnCount(); ++c)
        EXPECT_EQ(cells[0][c], model().columnTitle(c).toStdString()) << c;
    for (int r = 0; r < 3; ++r)
        EXPECT_EQ(cells[r + 1], shownRow(r)) << r;
    EXPECT_EQ(cells[1][0], "4");
    EXPECT_EQ(cells[1][5], "未检测");
}

TEST_F(LogQueryPageTest, ExportWithoutRowsOrFileWritesNothing) {
    const std::string path = program_->dir().file("never.xls");
    // Nothing shown yet: no dialog at all.
    UiPrompts::queueFileName(Q(path));
    pressExport(false);
    EXPECT_TRUE(UiPrompts::shown().empty());
    EXPECT_EQ(UiPrompts::pendingFileNames(), 1);
    // Rows shown, dialog cancelled.
    add("2024-05-10 08:00:00", "SN1", "T", "op");
    search({"SN1", "", "", {}, {}});
    UiPrompts::setTestMode(true); // drops the unused name
    UiPrompts::queueFileName("");
    pressExport(false);
    EXPECT_EQ(UiPrompts::shown().size(), 1u);
    EXPECT_FALSE(page().busy());
    EXPECT_FALSE(test::fileExists(path));
}

TEST_F(LogQueryPageTest, ExportFailureIsShown) {
    add("2024-05-10 08:00:00", "SN1", "T", "op");
    search({"SN1", "", "", {}, {}});
    UiPrompts::queueFileName(Q(program_->dir().file("missing-folder/out.xls")));
    EXPECT_FALSE(pressExport(true));
    const QStringList texts = UiPrompts::shownTexts();
    ASSERT_FALSE(texts.isEmpty());
    EXPECT_TRUE(texts.back().startsWith("Excel文件保存失败!")) << texts.back().toStdString();
    EXPECT_FALSE(page().busy());
}

TEST_F(LogQueryPageTest, AStoreThatCannotOpenLeavesThePageUnableToSearch) {
    store_.reset();
    const std::string db = program_->dir().file("orvalog.db");
    std::filesystem::remove(db);
    std::filesystem::create_directory(db); // a folder where the database should be
    const auto before = notes_.messages().size();
    EXPECT_FALSE(page().storeOpen());
    EXPECT_GT(notes_.messages().size(), before);
    QTest::mouseClick(page().searchButton(), Qt::LeftButton);
    EXPECT_FALSE(page().busy());
    EXPECT_EQ(model().columnCount(), 0);
}

} // namespace
} // namespace orva

// The log query page's export as LibreOffice reads it: several searches are exported through the page's
// buttons, then one soffice run converts every file, and each sheet must hold the titles and the shown
// texts of exactly the rows the search selects, newest first, read straight from the database.
#include "../../core/records/xls_LibreOffice.h"
#include "../shell/GuiTestSupport.h"

#include "TestSubnets.h"
#include "gui/controls/CPngButton.h"
#include "gui/records/CDlgLogQuery.h"
#include "gui/records/LogRowsModel.h"
#include "core/records/RecordStore.h"
#include "core/records/SqliteDb.h"

#include <QDateEdit>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>

#include <memory>

namespace orva {
namespace {

using guitest::Q;

// Nothing here touches the network; the subnet only keeps the settings file apart from other suites'.
constexpr int kExportSubnet = orva::test::subnets::gui_records::kExport;

const std::vector<std::string> kTitles = {
    "ID",         "Mac地址",      "操作员",   "序列号",       "设备类型",   "FE1测试",        "FE2测试", "FE3测试",
    "FE4测试",    "POS1测试",     "POS2测试", "上行链路测试", "Flash测试",  "LED测试",        "USB测试", "Wifi测试",
    "软件版本号", "关键进程测试", "CPU使用",  "Mem使用",      "预配置检测", "磁盘一致性检查", "日期"};

std::string Shown(const std::string& stored) {
    if (stored == "0")
        return "失败";
    if (stored == "1")
        return "成功";
    if (stored == "9")
        return "未检测";
    return stored;
}

struct ExportCase {
    const char* label;
    std::string technician; // the sheet's name
    std::string serial, operatorName;
    QDate from, to;
    // The rows the search must select, as a statement on logs (newest first) and its value.
    std::string where;
    SqliteParams params;
    std::size_t rows;
};

TEST(LogQueryLibreOffice, ExportedSearchesReadBackCellByCell) {
    const std::string soffice = test::FindSoffice();
    if (soffice.empty())
        GTEST_SKIP() << test::kNoSoffice;
    UiPromptsTestScope prompts;
    test::RecordingNotifier notes;
    guitest::ProgramFixture program(kExportSubnet, {}, "orva-gui-logquery-lo");
    const std::string db = program.dir().file("orvalog.db");
    {
        RecordStore store(db);
        ASSERT_TRUE(store.open("logs"));
        std::vector<DiagRecord> day;
        for (int i = 0; i < 45; ++i) {
            DiagRecord r;
            r.Mac = "00-11-22-33-44-" + std::to_string(10 + i);
            r.Operator = i % 3 ? "王五" : "O'Neil";
            r.sn = "SN" + std::to_string(7000 + i);
            r.DeviceType = i % 2 ? "光猫甲型" : "HG8245";
            r.FE1Check = i % 2;
            r.FE2Check = 9;
            r.FE4Check = 7;
            r.SoftWareVersionCheck = i % 5 ? "V1." + std::to_string(i) : "";
            r.PSCheck = i % 4 ? "ok" : "进程缺失";
            r.CPULoadCheck = static_cast<float>(i) / 4;
            r.MemCheck = 40.25f;
            r.PreConfigCheck = 1;
            day.push_back(r);
        }
        ASSERT_EQ(store.insert("logs", day, "2024-05-10 09:30:00"), RecordStore::Stored);
        DiagRecord other = day[0];
        other.sn = "a'b";
        ASSERT_EQ(store.insert("logs", {other}, "2024-05-11 08:00:00"), RecordStore::Stored);
    }

    const QDate may10{2024, 5, 10}, may11{2024, 5, 11};
    const std::vector<ExportCase> cases = {
        // Header and 30 records: two row blocks; the sheet named in Chinese.
        {"operator_chinese", "张三", "", "王五", may10, may10, "Operator = ?", {std::string("王五")}, 30},
        // Both days: all 46 rows, the technician called like the default sheet.
        {"date_range",
         "Sheet1",
         "",
         "",
         may10,
         may11,
         "datetime >= ? AND datetime <= ?",
         {std::string("2024-05-10 00:00:00"), std::string("2024-05-11 23:59:59")},
         46},
        {"serial_with_a_quote", "O'Neil", "a'b", "", may10, may10, "sn = ?", {std::string("a'b")}, 1},
    };

    CDlgLogQuery page;
    page.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&page));
    ASSERT_TRUE(page.storeOpen());
    std::vector<std::string> files;
    for (const ExportCase& c : cases) {
        page.setOperatorName(c.technician);
        page.serialEdit()->setText(Q(c.serial));
        page.deviceTypeEdit()->clear();
        page.operatorEdit()->setText(Q(c.operatorName));
        page.startDateEdit()->setDate(c.from);
        page.endDateEdit()->setDate(c.to);
        QSignalSpy searched(&page, &CDlgLogQuery::searchFinished);
        QTest::mouseClick(page.searchButton(), Qt::LeftButton);
        ASSERT_TRUE(searched.count() == 1 || searched.wait(60000)) << c.label;
        ASSERT_EQ(page.resultModel()->rowCount(), static_cast<int>(c.rows)) << c.label;

        const std::string path = program.dir().file(std::string(c.label) + ".xls");
        UiPrompts::queueFileName(Q(path));
        QSignalSpy exported(&page, &CDlgLogQuery::exportFinished);
        QTest::mouseClick(page.exportButton(), Qt::LeftButton);
        ASSERT_TRUE(exported.count() == 1 || exported.wait(60000)) << c.label;
        ASSERT_TRUE(exported.front().front().toBool()) << c.label;
        files.push_back(path);
    }

    std::string error;
    ASSERT_TRUE(test::ConvertToCsv(soffice, files, program.dir().file("lo"), error)) << error;

    SqliteDb reader;
    reader.open(db);
    for (const ExportCase& c : cases) {
        test::CellTexts expected;
        for (std::size_t col = 0; col < kTitles.size(); ++col)
            expected[{0, static_cast<int>(col)}] = kTitles[col];
        int row = 0;
        for (SqliteQuery q = reader.query("SELECT * FROM logs WHERE " + c.where + " ORDER BY id DESC", c.params);
             !q.atEnd(); q.nextRow()) {
            ++row;
            ASSERT_EQ(q.columnCount(), static_cast<int>(kTitles.size()));
            for (int col = 0; col < q.columnCount(); ++col) {
                const std::optional<std::string> stored = q.columnValue(col);
                if (stored && !stored->empty())
                    expected[{row, col}] = col == 0 ? *stored : Shown(*stored);
            }
        }
        ASSERT_EQ(static_cast<std::size_t>(row), c.rows) << c.label;

        const std::map<std::string, test::CsvSheet> sheets = test::ConvertedSheets(program.dir().file("lo"), c.label);
        ASSERT_EQ(sheets.size(), 1u) << c.label << ": " << test::readFile(program.dir().file("lo/soffice.log"));
        EXPECT_EQ(sheets.begin()->first, c.technician) << c.label;
        EXPECT_TRUE(test::CompareCells(sheets.begin()->second, expected).empty())
            << c.label << ":" << test::JoinLines(test::CompareCells(sheets.begin()->second, expected));
    }
}

} // namespace
} // namespace orva

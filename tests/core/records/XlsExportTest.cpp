#include "core/app/TextTable.h"
#include "core/records/ExportQueryRows.h"
#include "core/records/ExportRecords.h"
#include "core/records/RecordStore.h"
#include "core/records/XlsWorkbook.h"
#include "core/records/XlsWorkbookStream.h"

#include "TestSupport.h"
#include "XlsSupport.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace orva {
namespace {

using test::ExportRecord;
using test::kExportDate;
using test::kExportHeaders;

class ExportTest : public ::testing::Test {
protected:
    std::string path() const { return dir.file("export.xls"); }

    test::BiffBook analyse() const {
        const test::CfbFile cfb = test::ParseCompoundFile(test::readFile(path()));
        EXPECT_TRUE(cfb.problems.empty()) << ::testing::PrintToString(cfb.problems);
        test::BiffBook b = test::AnalyseWorkbook(cfb.stream);
        EXPECT_TRUE(b.problems.empty()) << ::testing::PrintToString(b.problems);
        return b;
    }

    test::XlrdBook read() const {
        test::XlrdBook book = test::ReadWithXlrd(path());
        EXPECT_TRUE(book.ok) << book.error;
        return book;
    }

    test::TempProgramDir dir{"xls-export"};
};

TEST_F(ExportTest, FewRecordsFollowTheExportLayout) {
    DiagRecord noVersion = ExportRecord("SN0002");
    noVersion.SoftWareVersionCheck.clear();
    noVersion.CPULoadCheck = 0;
    const Result<void> saved = ExportRecords(path(), "tech", {ExportRecord("SN0001"), noVersion}, kExportDate);
    ASSERT_TRUE(saved.ok()) << saved.error();

    const test::XlrdBook book = read();
    ASSERT_EQ(book.sheets.size(), 1u);
    const test::XlrdSheet& s = book.sheets[0];
    EXPECT_EQ(s.name, "tech");
    EXPECT_EQ(s.nonText, 0) << "every cell, numbers included, is text";
    ASSERT_EQ(s.nrows, 3);
    ASSERT_EQ(s.ncols, 22);
    EXPECT_EQ(s.cells[0], kExportHeaders);
    const std::vector<std::string> first = {"1", "2024-3-5", "SN0001", "V1.0.2", "",  "ok", "12.500000", "40.250000",
                                            "1", "1",        "HG8245", "1",      "0", "9",  "9",         "9",
                                            "9", "9",        "9",      "9",      "9", "9"};
    EXPECT_EQ(s.cells[1], first);
    EXPECT_EQ(s.cells[2][0], "2");
    EXPECT_EQ(s.cells[2][2], "SN0002");
    EXPECT_EQ(s.cells[2][3], "");
    EXPECT_EQ(s.cells[2][6], "0.000000");

    // No cell record at all for the empty texts: LOIDCheck of every row, the missing version of row 2.
    const test::BiffBook b = analyse();
    for (const auto& [row, col, text] : b.sheets.at(0).cells) {
        EXPECT_TRUE(row == 0 || col != 4) << "row " << row;
        EXPECT_FALSE(row == 2 && col == 3);
    }
    EXPECT_EQ(b.sheets.at(0).cells.size(), 22u + 21u + 20u);
}

TEST_F(ExportTest, NoRecordsWritesTheHeaderRowOnly) {
    const Result<void> saved = ExportRecords(path(), "tech", {}, kExportDate);
    ASSERT_TRUE(saved.ok()) << saved.error();
    const test::BiffBook b = analyse();
    ASSERT_EQ(b.sheets.size(), 1u);
    EXPECT_EQ(b.sheets[0].cells.size(), 22u);
    EXPECT_EQ(b.sheets[0].dbCells, 1);
    EXPECT_EQ(b.sstTotal, 22u);
    EXPECT_EQ(b.sstUnique, 22u);
    EXPECT_EQ(b.sst, kExportHeaders);
    const test::XlrdBook book = read();
    ASSERT_EQ(book.sheets.size(), 1u);
    EXPECT_EQ(book.sheets[0].nrows, 1);
    EXPECT_EQ(book.sheets[0].cells[0], kExportHeaders);
}

TEST_F(ExportTest, RepeatedTextsAreStoredOnceButCountedPerCell) {
    DiagRecord r = ExportRecord("SN1");
    r.FE1Check = r.FE2Check = r.FE3Check = r.FE4Check = r.POS1Check = r.POS2Check = CheckPassed;
    const Result<void> saved = ExportRecords(path(), "tech", {r, r}, kExportDate);
    ASSERT_TRUE(saved.ok()) << saved.error();
    const test::BiffBook b = analyse();
    EXPECT_EQ(b.sstTotal, 22u + 2 * 21u);
    EXPECT_EQ(std::count(b.sst.begin(), b.sst.end(), "1"), 1);
    EXPECT_EQ(b.sstUnique, b.sst.size());
    EXPECT_LT(b.sstUnique, b.sstTotal);
}

TEST_F(ExportTest, ThirtyTwoRecordsMakeTwoRowBlocks) {
    std::vector<DiagRecord> records;
    for (int i = 0; i < 32; ++i)
        records.push_back(ExportRecord("SN" + std::to_string(i)));
    const Result<void> saved = ExportRecords(path(), "tech", records, kExportDate);
    ASSERT_TRUE(saved.ok()) << saved.error();
    const test::BiffBook b = analyse();
    EXPECT_EQ(b.sheets.at(0).dbCells, 2);
    EXPECT_EQ(b.sheets.at(0).dbCellOffsets.size(), 2u);
    EXPECT_EQ(b.sheets.at(0).indexRowEnd, 33u);
    EXPECT_EQ(read().sheets.at(0).cells.at(32).at(2), "SN31");
}

struct OperatorCase {
    const char* label;
    std::string operatorName;
    std::string sheetName;
};

class ExportOperators : public ExportTest, public ::testing::WithParamInterface<OperatorCase> {};

TEST_P(ExportOperators, TheSheetIsNamedAfterTheOperator) {
    const Result<void> saved = ExportRecords(path(), GetParam().operatorName, {ExportRecord("SN1")}, kExportDate);
    ASSERT_TRUE(saved.ok()) << saved.error();
    const test::XlrdBook book = read();
    ASSERT_EQ(book.sheets.size(), 1u);
    EXPECT_EQ(book.sheets[0].name, GetParam().sheetName);
    EXPECT_EQ(book.sheets[0].nrows, 2);
}

INSTANTIATE_TEST_SUITE_P(
    Names, ExportOperators,
    ::testing::Values(OperatorCase{"ascii", "tech", "tech"}, OperatorCase{"chinese", "张三", "张三"},
                      // The rename fails because the name exists, yet the sheet is found and filled.
                      OperatorCase{"named_sheet1", "Sheet1", "Sheet1"},
                      OperatorCase{"quote_inside", "O'Neil", "O'Neil"},
                      OperatorCase{"forbidden_chars", "li/wang:[2]", "li_wang__2_"},
                      OperatorCase{"long", std::string(40, 'x'), std::string(31, 'x')},
                      OperatorCase{"empty", "", "Sheet1"}),
    [](const auto& info) { return std::string(info.param.label); });

TEST_F(ExportTest, AnUnwritablePathIsReportedAndNoFileIsLeft) {
    const Result<void> saved = ExportRecords(dir.file("no/such/dir/x.xls"), "tech", {ExportRecord("SN1")}, kExportDate);
    EXPECT_FALSE(saved.ok());
    EXPECT_FALSE(saved.error().empty());
    EXPECT_FALSE(std::filesystem::exists(dir.file("no/such/dir/x.xls")));
}

TEST(ExportNames, ProposedFileNameAndSuccessText) {
    std::tm t{};
    t.tm_year = 2024 - 1900;
    t.tm_mon = 2;
    t.tm_mday = 5;
    t.tm_hour = 7;
    t.tm_min = 8;
    t.tm_sec = 9;
    EXPECT_EQ(ProposedExportFileName(t), "202435789.xls");
    t.tm_mon = 11;
    t.tm_mday = 31;
    t.tm_hour = 23;
    t.tm_min = 0;
    t.tm_sec = 59;
    EXPECT_EQ(ProposedExportFileName(t), "2024123123059.xls");
    EXPECT_STREQ(ExportSavedText, "Excel文件保存成功!");
    const std::string now = ProposedExportFileName();
    EXPECT_EQ(now.substr(now.size() - 4), ".xls");
}

// A sheet ends at row 65,535: the records beyond go on in a second sheet with its own header row,
// and a file this size needs DIFAT sectors.
TEST_F(ExportTest, HundredThousandRecordsContinueOnASecondSheet) {
    std::vector<DiagRecord> records;
    for (int i = 0; i < 100000; ++i)
        records.push_back(ExportRecord("SN" + std::to_string(i)));
    const Result<void> saved = ExportRecords(path(), "tech", records, kExportDate);
    ASSERT_TRUE(saved.ok()) << saved.error();

    const test::CfbFile cfb = test::ParseCompoundFile(test::readFile(path()));
    EXPECT_TRUE(cfb.problems.empty()) << ::testing::PrintToString(cfb.problems);
    EXPECT_GT(cfb.difatSectors, 0u);
    const test::BiffBook b = test::AnalyseWorkbook(cfb.stream);
    EXPECT_TRUE(b.problems.empty()) << ::testing::PrintToString(b.problems);

    const test::XlrdBook book = read();
    ASSERT_EQ(book.sheets.size(), 2u);
    EXPECT_EQ(book.sheets[0].name, "tech");
    EXPECT_EQ(book.sheets[1].name, "tech (2)");
    EXPECT_EQ(book.sheets[0].nrows, 65536);
    EXPECT_EQ(book.sheets[1].nrows, 100000 - 65535 + 1);
    EXPECT_EQ(book.sheets[1].cells[0], kExportHeaders);
    EXPECT_EQ(book.sheets[0].cells[65535][0], "65535");
    EXPECT_EQ(book.sheets[0].cells[65535][2], "SN65534");
    EXPECT_EQ(book.sheets[1].cells[1][0], "65536");
    EXPECT_EQ(book.sheets[1].cells.back()[2], "SN99999");
}

TEST_F(ExportTest, QueryRowsShowTitlesAndMappedCells) {
    const std::vector<std::string> columns = {"id", "Mac", "Operator", "FE1Check", "CPULoadCheck", "datetime", "extra"};
    const std::vector<RowTexts> rows = {
        {"9", "00-11", "1", "1", "0.000000", "2024-03-05 10:00:00", std::nullopt},
        {"1", "00-22", "张三", "0", "9", std::nullopt, "x"},
    };
    const Result<void> saved = ExportQueryRows(path(), "日志", columns, rows);
    ASSERT_TRUE(saved.ok()) << saved.error();
    const test::XlrdBook book = read();
    ASSERT_EQ(book.sheets.size(), 1u);
    const test::XlrdSheet& s = book.sheets[0];
    EXPECT_EQ(s.name, "日志");
    EXPECT_EQ(s.nonText, 0);
    ASSERT_EQ(s.nrows, 3);
    EXPECT_EQ(s.cells[0], (std::vector<std::string>{"ID", "Mac地址", "操作员", "FE1测试", "CPU使用", "日期", ""}));
    EXPECT_EQ(s.cells[1],
              (std::vector<std::string>{"9", "00-11", "成功", "成功", "0.000000", "2024-03-05 10:00:00", ""}));
    EXPECT_EQ(s.cells[2], (std::vector<std::string>{"1", "00-22", "张三", "失败", "未检测", "", "x"}));
}

// The search's faults on a sheet of their own: one row per fault of a shown record, with that record's
// id, SN, MAC and datetime, in the language selected; faults of records not shown stay out, and a
// search without faults keeps the one sheet.
TEST_F(ExportTest, QueryRowsWithFaultsAddAFaultsSheet) {
    const std::vector<std::string> columns = {"id", "Mac", "Operator", "sn", "LEDCheck", "datetime"};
    const std::vector<RowTexts> rows = {
        {"7", "00-77", "ann", "SN7", "9", "2024-03-05 10:00:00"},
        {"3", "00-33", "bob", "SN3", "9", "2024-03-04 09:00:00"},
    };
    const std::vector<LogFault> faults = {
        {7, {14, "LED 不正常"}}, {7, {13, "Flash 不正常"}}, {5, {1, "not shown"}}, {3, {2, "FE2 不正常"}}};
    const FaultItemNamer name = [](int item) { return "item" + std::to_string(item); };
    struct Case {
        const char* language;
        std::string operatorName;
        std::vector<LogFault> faults;
        std::vector<std::string> sheetNames;
        std::vector<std::string> headers;
    };
    const std::vector<Case> cases = {
        {"Chinese",
         "日志",
         faults,
         {"日志", "故障"},
         {"记录ID", "序列号", "Mac地址", "日期", "检测项编号", "检测项", "故障"}},
        {"English",
         "logs",
         faults,
         {"logs", "Faults"},
         {"Record ID", "SN", "MAC", "Date", "Item No.", "Item", "Fault"}},
        // An operator called like the faults sheet keeps his name; the faults sheet takes a suffix.
        {"Chinese",
         "故障",
         faults,
         {"故障", "故障 (2)"},
         {"记录ID", "序列号", "Mac地址", "日期", "检测项编号", "检测项", "故障"}},
        {"Chinese", "日志", {{5, {1, "not shown"}}}, {"日志"}, {}},
        {"Chinese", "日志", {}, {"日志"}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.language) + " " + c.operatorName + " " + std::to_string(c.faults.size()));
        SelectLanguage(c.language);
        const Result<void> saved = ExportQueryRows(path(), c.operatorName, columns, rows, c.faults, name);
        ASSERT_TRUE(saved.ok()) << saved.error();
        const test::XlrdBook book = read();
        std::vector<std::string> names;
        for (const test::XlrdSheet& sheet : book.sheets)
            names.push_back(sheet.name);
        ASSERT_EQ(names, c.sheetNames);
        EXPECT_EQ(book.sheets[0].nrows, 3);
        EXPECT_EQ(book.sheets[0].cells[1][3], "SN7");
        if (c.sheetNames.size() < 2)
            continue;
        const test::XlrdSheet& s = book.sheets[1];
        EXPECT_EQ(s.nonText, 0);
        ASSERT_EQ(s.nrows, 4);
        EXPECT_EQ(s.cells[0], c.headers);
        EXPECT_EQ(s.cells[1],
                  (std::vector<std::string>{"7", "SN7", "00-77", "2024-03-05 10:00:00", "14", "item14", "LED 不正常"}));
        EXPECT_EQ(s.cells[2], (std::vector<std::string>{"7", "SN7", "00-77", "2024-03-05 10:00:00", "13", "item13",
                                                        "Flash 不正常"}));
        EXPECT_EQ(s.cells[3],
                  (std::vector<std::string>{"3", "SN3", "00-33", "2024-03-04 09:00:00", "2", "item2", "FE2 不正常"}));
    }
    ResetLanguageForTests();
}

TEST_F(ExportTest, QueryRowsRefuseMoreColumnsThanASheetHas) {
    const Result<void> saved = ExportQueryRows(path(), "q", std::vector<std::string>(257, "id"), {});
    EXPECT_FALSE(saved.ok());
    EXPECT_FALSE(saved.error().empty());
}

// The exports as the front ends use them: the store's rows since start-up, and a search result.
TEST_F(ExportTest, RecordsStoredSinceStartUpAndASearchResult) {
    test::RecordingNotifier notifier;
    RecordStore store(dir.file("orvalog.db"));
    ASSERT_TRUE(store.open("logs"));
    ASSERT_EQ(store.insert("logs", {ExportRecord("OLD1"), ExportRecord("OLD2")}), RecordStore::Stored);
    const int atStart = store.highestLogId();
    ASSERT_EQ(store.insert("logs", {ExportRecord("NEW1")}), RecordStore::Stored);
    ASSERT_EQ(store.insert("logs", {ExportRecord("NEW2"), ExportRecord("NEW3")}), RecordStore::Stored);

    const std::vector<DiagRecord> since = RecordsStoredAfter(store, atStart);
    ASSERT_EQ(since.size(), 3u);
    EXPECT_EQ(since[0].sn, "NEW1");
    EXPECT_EQ(since[2].sn, "NEW3");
    const Result<void> saved = ExportRecords(path(), "tech", since, kExportDate);
    ASSERT_TRUE(saved.ok()) << saved.error();
    test::XlrdBook book = read();
    ASSERT_EQ(book.sheets.at(0).nrows, 4);
    EXPECT_EQ(book.sheets[0].cells[3][2], "NEW3");

    LogFilter filter;
    filter.operatorName = "tech";
    const RecordRows found = store.queryLogs(filter);
    ASSERT_EQ(found.rows.size(), 5u);
    const Result<void> savedRows = ExportQueryRows(path(), "tech", found);
    ASSERT_TRUE(savedRows.ok()) << savedRows.error();
    book = read();
    ASSERT_EQ(book.sheets.at(0).nrows, 6);
    EXPECT_EQ(book.sheets[0].cells[0][0], "ID");
    EXPECT_EQ(book.sheets[0].cells[1][0], "5") << "newest first, as the page lists them";
    EXPECT_EQ(book.sheets[0].cells[1][3], "NEW3");
    EXPECT_EQ(book.sheets[0].cells[5][3], "OLD1");
    EXPECT_TRUE(notifier.messages().empty());
}

} // namespace
} // namespace orva

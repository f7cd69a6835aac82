// Workbooks read back by LibreOffice: every case's file is written first, then one headless soffice
// run converts them all to CSV (every sheet, UTF-8, text cells quoted), and each case compares every
// cell and the sheet names with what it wrote. Readers differ in what they forgive (LibreOffice, for one,
// gives up on a 4096-byte stream left in the mini stream), so the files must satisfy more than one.
#include "core/records/ExportQueryRows.h"
#include "core/records/ExportRecords.h"
#include "core/records/XlsWorkbook.h"

#include "TestSupport.h"
#include "XlsLibreOffice.h"
#include "XlsSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace orva {
namespace {

using test::ExportRecord;
using test::kExportDate;
using test::kExportHeaders;
using test::Repeat;

using Cells = test::CellTexts;

struct ExpectedSheet {
    std::string name;
    Cells cells;
};

void PutRow(Cells& cells, int row, const std::vector<std::string>& texts) {
    for (std::size_t c = 0; c < texts.size(); ++c)
        if (!texts[c].empty())
            cells[{row, static_cast<int>(c)}] = texts[c];
}

Cells HeaderOnly() {
    Cells cells;
    PutRow(cells, 0, kExportHeaders);
    return cells;
}

// The row a ExportRecord() exports as, written out by hand.
std::vector<std::string> RecordRow(int number, const std::string& sn, const std::string& type = "HG8245",
                                   const std::string& ps = "ok", const std::string& version = "V1.0.2") {
    return {std::to_string(number),
            "2024-3-5",
            sn,
            version,
            "",
            ps,
            "12.500000",
            "40.250000",
            "1",
            "1",
            type,
            "1",
            "0",
            "9",
            "9",
            "9",
            "9",
            "9",
            "9",
            "9",
            "9",
            "9"};
}

struct LoCase {
    const char* label;
    // Writes the file, or says why it could not.
    std::function<Result<void>(const std::string& path)> write;
    std::vector<ExpectedSheet> expected;
    // For a large case, the expected sheets made only when the case is checked.
    std::function<std::vector<ExpectedSheet>()> expectedLater{};
};

Result<void> SaveBook(XlsWorkbook& book, const std::string& path) {
    if (book.saveAs(path))
        return {};
    return Failure{book.lastError()};
}

// One sheet holding `cells`; returns the workbook stream's size.
std::size_t StreamSize(const Cells& cells) {
    XlsWorkbook book = XlsWorkbook::create(1);
    for (const auto& [at, text] : cells)
        book.sheetAt(0).cell(at.first, at.second).setText(text);
    const Result<std::string> stream = book.workbookStream();
    return stream ? stream.value().size() : 0;
}

// Cells whose workbook stream has exactly `size` bytes: a long text in A1 and, to reach odd sizes, a
// short one in B1. Empty when no such pair is found.
Cells CellsOfStreamSize(std::size_t size) {
    for (int extra = 0; extra < 4; ++extra) {
        for (int length = 1; length < 4096; ++length) {
            Cells cells = {{{0, 0}, Repeat("m", length)}};
            if (extra > 0)
                cells[{0, 1}] = Repeat("z", extra);
            const std::size_t got = StreamSize(cells);
            if (got == size)
                return cells;
            if (got > size)
                break;
        }
    }
    return {};
}

LoCase ExportCase(const char* label, const std::string& operatorName, std::vector<DiagRecord> records,
                  ExpectedSheet expected) {
    return {label,
            [operatorName, records](const std::string& path) {
                return ExportRecords(path, operatorName, records, kExportDate);
            },
            {std::move(expected)}};
}

LoCase BookCase(const char* label, Cells cells) {
    return {label,
            [cells](const std::string& path) -> Result<void> {
                if (cells.empty())
                    return Failure{"no cells for this case"};
                XlsWorkbook book = XlsWorkbook::create(1);
                for (const auto& [at, text] : cells)
                    book.sheetAt(0).cell(at.first, at.second).setText(text);
                return SaveBook(book, path);
            },
            {{"Sheet1", cells}}};
}

std::vector<LoCase> Cases() {
    std::vector<LoCase> cases;
    cases.push_back(ExportCase("header_only", "tech", {}, {"tech", HeaderOnly()}));

    {
        // Header plus 32 records: rows 0-31 and row 32 in two row blocks; well above the mini stream.
        std::vector<DiagRecord> records;
        Cells cells = HeaderOnly();
        for (int i = 1; i <= 32; ++i) {
            records.push_back(ExportRecord("SN" + std::to_string(1000 + i)));
            PutRow(cells, i, RecordRow(i, "SN" + std::to_string(1000 + i)));
        }
        cases.push_back(ExportCase("thirty_three_rows", "tech", records, {"tech", cells}));
    }
    {
        Cells cells = HeaderOnly();
        PutRow(cells, 1, RecordRow(1, "中兴SN01", "光猫甲型", "进程缺失: 语音", "版本三"));
        PutRow(cells, 2, RecordRow(2, "SN02", "天翼网关", "ok", ""));
        cases.push_back(ExportCase("chinese_texts", "张三",
                                   {ExportRecord("中兴SN01", "光猫甲型", "进程缺失: 语音", "版本三"),
                                    ExportRecord("SN02", "天翼网关", "ok", "")},
                                   {"张三", cells}));
    }
    {
        // The rename to an existing name fails, yet the export finds the sheet and fills it.
        Cells cells = HeaderOnly();
        PutRow(cells, 1, RecordRow(1, "SN1"));
        cases.push_back(ExportCase("operator_named_sheet1", "Sheet1", {ExportRecord("SN1")}, {"Sheet1", cells}));
    }
    {
        // 300 distinct serial numbers of 40 characters: an SST of about 25 KB in several records.
        std::vector<DiagRecord> records;
        Cells cells = HeaderOnly();
        for (int i = 1; i <= 300; ++i) {
            const std::string sn = "SN-" + std::to_string(100000 + i) + Repeat("x", 31);
            records.push_back(ExportRecord(sn));
            PutRow(cells, i, RecordRow(i, sn));
        }
        cases.push_back(ExportCase("sst_of_many_records", "tech", records, {"tech", cells}));
    }
    // Texts that cross the SST's first record limit of 8224 bytes at awkward places.
    cases.push_back(BookCase("sst_text_straddles", {{{0, 0}, Repeat("a", 5000)}, {{1, 0}, "after"}}));
    cases.push_back(BookCase("sst_chinese_straddles", {{{0, 0}, Repeat("中文", 3000)}, {{1, 0}, "后"}}));
    cases.push_back(BookCase("sst_header_at_the_limit", {{{0, 0}, Repeat("b", 4105)}, {{1, 0}, "xyz"}}));
    // The mini stream holds streams shorter than 4096 bytes; 4096 goes to regular sectors.
    cases.push_back(BookCase("stream_of_4095_bytes", CellsOfStreamSize(4095)));
    cases.push_back(BookCase("stream_of_4096_bytes", CellsOfStreamSize(4096)));
    cases.push_back(BookCase("stream_of_4097_bytes", CellsOfStreamSize(4097)));
    {
        // A search result as the log page exports it: titles, mapped texts, empty cells for NULLs.
        const std::vector<std::string> columns = {"id", "Operator", "sn", "FE1Check", "CPULoadCheck", "datetime"};
        const std::vector<RowTexts> rows = {{"2", "1", "SN2", "0", "0.000000", "2024-03-05 10:00:00"},
                                            {"1", "李四", "SN1", "9", std::nullopt, "2024-03-05 09:00:00"}};
        Cells cells;
        PutRow(cells, 0, {"ID", "操作员", "序列号", "FE1测试", "CPU使用", "日期"});
        PutRow(cells, 1, {"2", "成功", "SN2", "失败", "0.000000", "2024-03-05 10:00:00"});
        PutRow(cells, 2, {"1", "李四", "SN1", "未检测", "", "2024-03-05 09:00:00"});
        cases.push_back({"query_rows",
                         [columns, rows](const std::string& path) {
                             return ExportQueryRows(path, "日志", columns, rows);
                         },
                         {{"日志", cells}}});
    }
    {
        // More records than a sheet has rows: the rest go on in a second sheet with its own header row,
        // and a file this size needs DIFAT sectors.
        constexpr int kRecords = 66000, kSheetRecords = 65535;
        LoCase big{"second_sheet_and_difat",
                   [](const std::string& path) {
                       std::vector<DiagRecord> records;
                       records.reserve(kRecords);
                       for (int i = 1; i <= kRecords; ++i)
                           records.push_back(ExportRecord("SN" + std::to_string(i)));
                       return ExportRecords(path, "tech", records, kExportDate);
                   },
                   {}};
        big.expectedLater = [] {
            std::vector<ExpectedSheet> sheets = {{"tech", HeaderOnly()}, {"tech (2)", HeaderOnly()}};
            for (int i = 1; i <= kRecords; ++i) {
                const bool first = i <= kSheetRecords;
                PutRow(sheets[first ? 0 : 1].cells, first ? i : i - kSheetRecords,
                       RecordRow(i, "SN" + std::to_string(i)));
            }
            return sheets;
        };
        cases.push_back(std::move(big));
    }
    return cases;
}

// One test for the whole table: every file is converted in a single soffice run, which costs seconds
// to start, and test runners start a process per test.
TEST(XlsLibreOffice, EveryCaseReadsBackCellByCell) {
    const std::string soffice = test::FindSoffice();
    if (soffice.empty())
        GTEST_SKIP() << test::kNoSoffice;
    const test::TempProgramDir dir("xls-libreoffice");
    const std::vector<LoCase> cases = Cases();
    std::vector<std::string> files;
    std::map<std::string, std::string> writeErrors;
    for (const LoCase& c : cases) {
        const std::string path = dir.file(std::string(c.label) + ".xls");
        if (const Result<void> written = c.write(path))
            files.push_back(path);
        else
            writeErrors[c.label] = written.error().empty() ? "not written" : written.error();
    }
    std::string error;
    ASSERT_TRUE(test::ConvertToCsv(soffice, files, dir.path(), error)) << error;

    for (const LoCase& c : cases) {
        SCOPED_TRACE(c.label);
        if (writeErrors.count(c.label)) {
            ADD_FAILURE() << "not written: " << writeErrors[c.label];
            continue;
        }
        const std::map<std::string, test::CsvSheet> sheets = test::ConvertedSheets(dir.path(), c.label);
        const std::vector<ExpectedSheet> expectedSheets = c.expectedLater ? c.expectedLater() : c.expected;
        std::vector<std::string> names;
        for (const auto& [name, sheet] : sheets)
            names.push_back(name);
        std::vector<std::string> expectedNames;
        for (const ExpectedSheet& expected : expectedSheets)
            expectedNames.push_back(expected.name);
        std::sort(expectedNames.begin(), expectedNames.end());
        if (names != expectedNames) {
            ADD_FAILURE() << "sheets" << test::JoinLines(names) << "\nexpected" << test::JoinLines(expectedNames)
                          << "\nsoffice said: " << test::readFile(dir.file("soffice.log"));
            continue;
        }
        for (const ExpectedSheet& expected : expectedSheets) {
            const test::CsvSheet& sheet = sheets.at(expected.name);
            const std::vector<std::string> problems = test::CompareCells(sheet, expected.cells);
            EXPECT_TRUE(problems.empty()) << "sheet " << expected.name << ":" << test::JoinLines(problems);
            EXPECT_EQ(sheet.cells.size(), expected.cells.size()) << "sheet " << expected.name;
        }
    }
}

// The stream-size cases only prove the cut-off when their files really sit on either side of it.
TEST(XlsLibreOfficeCases, StreamSizeCasesStraddleTheMiniStreamCutOff) {
    for (const auto& [size, inMini] : {std::pair<std::size_t, bool>{4095, true}, {4096, false}, {4097, false}}) {
        const Cells cells = CellsOfStreamSize(size);
        ASSERT_FALSE(cells.empty()) << size;
        EXPECT_EQ(StreamSize(cells), size);
        test::TempProgramDir dir("xls-cutoff");
        XlsWorkbook book = XlsWorkbook::create(1);
        for (const auto& [at, text] : cells)
            book.sheetAt(0).cell(at.first, at.second).setText(text);
        ASSERT_TRUE(book.saveAs(dir.file("b.xls")));
        const test::CfbFile cfb = test::ParseCompoundFile(test::readFile(dir.file("b.xls")));
        EXPECT_TRUE(cfb.problems.empty()) << ::testing::PrintToString(cfb.problems);
        EXPECT_EQ(cfb.streamInMini, inMini) << size;
        EXPECT_EQ(cfb.stream.size(), size);
    }
}

} // namespace
} // namespace orva

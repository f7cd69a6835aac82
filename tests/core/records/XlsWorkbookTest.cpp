#include "core/records/XlsWorkbook.h"
#include "core/records/XlsWorkbookStream.h"

#include "TestSupport.h"
#include "XlsSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

namespace orva {
namespace {

using test::Repeat;

using test::AnalyseWorkbook;
using test::BiffBook;
using test::Get16;
using test::Get32;

using Cells = std::map<std::pair<int, int>, std::string>;

void Fill(XlsWorksheet& sheet, const Cells& cells) {
    for (const auto& [at, text] : cells)
        sheet.cell(at.first, at.second).setText(text);
}

Cells CellsOf(const test::BiffSheetInfo& s) {
    Cells cells;
    for (const auto& [row, col, text] : s.cells)
        cells[{row, col}] = text;
    return cells;
}

// Saves the book, checks the file by hand and with xlrd, and returns the analysed stream.
class XlsFileTest : public ::testing::Test {
protected:
    BiffBook saveAndCheck(XlsWorkbook& book, const std::vector<Cells>& expected) {
        const std::string path = dir.file("book.xls");
        EXPECT_TRUE(book.saveAs(path)) << book.lastError();
        const test::CfbFile cfb = test::ParseCompoundFile(test::readFile(path));
        EXPECT_TRUE(cfb.problems.empty()) << ::testing::PrintToString(cfb.problems);
        BiffBook biff = AnalyseWorkbook(cfb.stream);
        EXPECT_TRUE(biff.problems.empty()) << ::testing::PrintToString(biff.problems);
        EXPECT_EQ(biff.sheets.size(), expected.size());
        for (std::size_t s = 0; s < biff.sheets.size() && s < expected.size(); ++s)
            EXPECT_EQ(CellsOf(biff.sheets[s]), expected[s]) << "sheet " << s;

        const test::XlrdBook read = test::ReadWithXlrd(path);
        EXPECT_TRUE(read.ok) << read.error;
        EXPECT_EQ(read.sheets.size(), expected.size());
        for (std::size_t s = 0; s < read.sheets.size() && s < expected.size(); ++s) {
            const test::XlrdSheet& sheet = read.sheets[s];
            EXPECT_EQ(sheet.name, book.sheetNames()[s]);
            EXPECT_EQ(sheet.nonText, 0);
            Cells seen;
            for (int r = 0; r < sheet.nrows; ++r)
                for (int c = 0; c < sheet.ncols; ++c)
                    if (!sheet.cells[r][c].empty())
                        seen[{r, c}] = sheet.cells[r][c];
            EXPECT_EQ(seen, expected[s]) << "xlrd, sheet " << s;
        }
        isMini = cfb.streamInMini;
        return biff;
    }

    test::TempProgramDir dir{"xls-book"};
    bool isMini = false;
};

TEST_F(XlsFileTest, SmallSheetWritesTheGlobalRecordsInOrderInTheMiniStream) {
    XlsWorkbook book = XlsWorkbook::create(1);
    const Cells cells = {{{0, 0}, "No"}, {{0, 1}, "SN"}, {{1, 0}, "1"}, {{1, 1}, "ABC123"}, {{2, 1}, "1"}};
    Fill(book.sheetAt(0), cells);
    const BiffBook b = saveAndCheck(book, {cells});
    EXPECT_TRUE(isMini);

    std::vector<std::uint16_t> globals = {XlsRecord::Bof, XlsRecord::Window1};
    globals.insert(globals.end(), 4, XlsRecord::Font);
    globals.insert(globals.end(), 21, XlsRecord::Xf);
    globals.insert(globals.end(), 6, XlsRecord::Style);
    globals.insert(globals.end(), {XlsRecord::BoundSheet, XlsRecord::Sst, XlsRecord::Eof});
    EXPECT_EQ(b.globalIds, globals);

    EXPECT_EQ(b.globals[0].data, std::string("\x00\x06\x05\x00\xA0\x19\xCD\x07\xC9\xC0\x00\x00\x06\x03\x00\x00", 16));
    EXPECT_EQ(b.globals[1].data,
              std::string("\x78\x00\x78\x00\x1F\x3B\x54\x24\x38\x00\x00\x00\x00\x00\x01\x00\x58\x02", 18));
    EXPECT_EQ(b.globals[2].data, std::string("\xC8\x00\x00\x00\xFF\x7F\x90\x01\x00\x00\x00\x00\x00\x00\x05\x01"
                                             "A\0r\0i\0a\0l\0",
                                             26));
    EXPECT_EQ(b.globals[6].data, std::string("\x00\x00\x00\x00\xF5\xFF\x20\x00\x00\x00\x00\x00\x00\x00\x00\x00"
                                             "\x00\x00\xC0\x20",
                                             20));
    EXPECT_EQ(b.globals[27].data, std::string("\x00\x80\x00\xFF", 4));
    // Five text cells, four distinct texts; "1" is stored once.
    EXPECT_EQ(b.sstTotal, 5u);
    EXPECT_EQ(b.sstUnique, 4u);
    EXPECT_EQ(b.sst, (std::vector<std::string>{"No", "SN", "1", "ABC123"}));

    const test::BiffSheetInfo& s = b.sheets.at(0);
    EXPECT_EQ(s.ids.front(), XlsRecord::Bof);
    EXPECT_EQ(s.ids.back(), XlsRecord::Eof);
    EXPECT_EQ(s.indexFirstRow, 0u);
    EXPECT_EQ(s.indexRowEnd, 3u);
    EXPECT_EQ(s.dimFirstRow, 0u);
    EXPECT_EQ(s.dimRowEnd, 3u);
    EXPECT_EQ(s.dimFirstCol, 0u);
    EXPECT_EQ(s.dimColEnd, 2u);
    EXPECT_EQ(s.dbCells, 1);
    EXPECT_EQ(s.window2Options, 0x06B6);
}

TEST_F(XlsFileTest, SeveralSheetsPointAtTheirOwnSubstreamsAndOnlyTheFirstIsSelected) {
    XlsWorkbook book = XlsWorkbook::create(3);
    const std::vector<Cells> cells = {{{{0, 0}, "a"}}, {}, {{{5, 3}, "a"}, {{5, 4}, "b"}}};
    for (int i = 0; i < 3; ++i)
        Fill(book.sheetAt(i), cells[i]);
    const BiffBook b = saveAndCheck(book, cells);
    ASSERT_EQ(b.sheets.size(), 3u);
    EXPECT_EQ(b.sheets[0].name, "Sheet1");
    EXPECT_EQ(b.sheets[2].name, "Sheet3");
    EXPECT_EQ(b.sheets[0].window2Options, 0x06B6);
    EXPECT_EQ(b.sheets[1].window2Options, 0x04B6);
    EXPECT_EQ(b.sheets[2].window2Options, 0x04B6);
    // An empty sheet has no row block and zero extents.
    EXPECT_EQ(b.sheets[1].dbCells, 0);
    EXPECT_EQ(b.sheets[1].indexRowEnd, 0u);
    EXPECT_EQ(b.sheets[1].dimColEnd, 0u);
    EXPECT_EQ(b.sheets[2].dimFirstRow, 5u);
    EXPECT_EQ(b.sheets[2].dimFirstCol, 3u);
    EXPECT_EQ(b.sheets[2].dimColEnd, 5u);
    EXPECT_EQ(b.sstUnique, 2u);
    EXPECT_EQ(b.sstTotal, 3u);
}

struct BlockCase {
    const char* label;
    std::vector<int> rows;
    int blocks;
};

class XlsRowBlocks : public XlsFileTest, public ::testing::WithParamInterface<BlockCase> {};

TEST_P(XlsRowBlocks, IndexAndDbCellLocateEveryRow) {
    XlsWorkbook book = XlsWorkbook::create(1);
    Cells cells;
    for (const int row : GetParam().rows)
        for (int col = 0; col < 3; ++col)
            if ((row + col) % 4 != 3) // a few holes, so rows differ in length
                cells[{row, col}] = "r" + std::to_string(row) + "c" + std::to_string(col);
    Fill(book.sheetAt(0), cells);
    const BiffBook b = saveAndCheck(book, {cells});
    EXPECT_EQ(b.sheets.at(0).dbCells, GetParam().blocks);
    EXPECT_EQ(b.sheets.at(0).indexFirstRow, static_cast<std::uint32_t>(GetParam().rows.front()));
    EXPECT_EQ(b.sheets.at(0).indexRowEnd, static_cast<std::uint32_t>(GetParam().rows.back() + 1));
}

std::vector<int> Range(int from, int to) {
    std::vector<int> rows;
    for (int r = from; r < to; ++r)
        rows.push_back(r);
    return rows;
}

INSTANTIATE_TEST_SUITE_P(Rows, XlsRowBlocks,
                         ::testing::Values(BlockCase{"one_row", {0}, 1}, BlockCase{"full_block", Range(0, 32), 1},
                                           BlockCase{"thirty_three_rows", Range(0, 33), 2},
                                           BlockCase{"sparse", {3, 31, 32, 200, 65535}, 4},
                                           BlockCase{"late_start", Range(40, 100), 3}),
                         [](const auto& info) { return std::string(info.param.label); });

TEST_F(XlsFileTest, TenThousandRowsUseRegularSectorsRowBlocksAndSstContinues) {
    XlsWorkbook book = XlsWorkbook::create(1);
    Cells cells;
    for (int row = 0; row < 12000; ++row) {
        cells[{row, 0}] = std::to_string(row + 1);
        cells[{row, 1}] = "SN" + std::to_string(100000 + row);
        cells[{row, 2}] = row % 2 ? "成功" : "失败";
    }
    Fill(book.sheetAt(0), cells);
    const BiffBook b = saveAndCheck(book, {cells});
    EXPECT_FALSE(isMini);
    EXPECT_EQ(b.sheets.at(0).dbCells, 12000 / 32);
    EXPECT_GT(b.sstContinues, 5);
    EXPECT_EQ(b.sstTotal, 36000u);
    EXPECT_EQ(b.sstUnique, 24002u);
}

struct SstCase {
    const char* label;
    std::vector<std::string> texts;
};

class XlsSstBoundaries : public XlsFileTest, public ::testing::WithParamInterface<SstCase> {};

TEST_P(XlsSstBoundaries, TextsAcrossTheRecordLimitReadBackWhole) {
    XlsWorkbook book = XlsWorkbook::create(1);
    Cells cells;
    int row = 0;
    for (const std::string& text : GetParam().texts)
        cells[{row++, 0}] = text;
    Fill(book.sheetAt(0), cells);
    const BiffBook b = saveAndCheck(book, {cells});
    EXPECT_GE(b.sstContinues, 1);
    EXPECT_EQ(b.sst, GetParam().texts);
}

// The first record holds 8224 bytes: 8 of counts, then 3 of header and 2 per character of each text.
// 4105 characters leave 3 bytes (a header without room for a character), 4106 leave 1.
INSTANTIATE_TEST_SUITE_P(Texts, XlsSstBoundaries,
                         ::testing::Values(SstCase{"one_text_straddles", {Repeat("a", 5000), "after"}},
                                           SstCase{"chinese_straddles", {Repeat("中文", 3000), "后"}},
                                           SstCase{"header_would_be_cut", {Repeat("b", 4105), "xyz"}},
                                           SstCase{"one_byte_left", {Repeat("c", 4106), "xyz"}},
                                           SstCase{"surrogate_pair_at_the_limit", {Repeat("d", 4105) + "😀😀", "z"}},
                                           SstCase{"many_records", {Repeat("e", 20000), Repeat("长", 9000), "end"}}),
                         [](const auto& info) { return std::string(info.param.label); });

TEST_F(XlsFileTest, ChineseAndOtherTextsKeepTheirCharacters) {
    XlsWorkbook book = XlsWorkbook::create(1);
    ASSERT_TRUE(book.renameSheet("Sheet1", "张三"));
    const Cells cells = {{{0, 0}, "成功"},   {{0, 1}, "Müller"},     {{0, 2}, "😀 emoji"},
                         {{1, 0}, "未检测"}, {{1, 255}, "last col"}, {{2, 1}, "tab\there"}};
    Fill(*book.sheet("张三"), cells);
    const BiffBook b = saveAndCheck(book, {cells});
    EXPECT_EQ(b.sheets.at(0).name, "张三");
}

TEST_F(XlsFileTest, MalformedUtf8BecomesAReplacementCharacter) {
    XlsWorkbook book = XlsWorkbook::create(1);
    book.sheetAt(0).cell(0, 0).setText("a\xFF"
                                       "b");
    saveAndCheck(book, {{{{0, 0},
                          "a\xEF\xBF\xBD"
                          "b"}}});
}

TEST_F(XlsFileTest, EmptyTextsWriteNoCells) {
    XlsWorkbook book = XlsWorkbook::create(1);
    book.sheetAt(0).cell(4, 4).setText("");
    book.sheetAt(0).cell(0, 1).setText("x");
    book.sheetAt(0).cell(0, 2).setText("y");
    book.sheetAt(0).cell(0, 2).setText("");
    const BiffBook b = saveAndCheck(book, {{{{0, 1}, "x"}}});
    EXPECT_EQ(b.sheets.at(0).dimRowEnd, 1u);
    EXPECT_EQ(b.sheets.at(0).dimFirstCol, 1u);
    EXPECT_EQ(b.sheets.at(0).dimColEnd, 2u);
    EXPECT_EQ(b.sstTotal, 1u);
}

TEST_F(XlsFileTest, OverlongTextIsCutAtTheCellLimit) {
    XlsWorkbook book = XlsWorkbook::create(1);
    book.sheetAt(0).cell(0, 0).setText(Repeat("x", 40000));
    saveAndCheck(book, {{{{0, 0}, Repeat("x", 32767)}}});
}

struct RefusalCase {
    const char* label;
    std::uint32_t row;
    std::uint32_t column;
};

class XlsRefusals : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(XlsRefusals, TextOutsideTheGridIsRefusedWithoutAFile) {
    test::TempProgramDir dir("xls-refuse");
    XlsWorkbook book = XlsWorkbook::create(1);
    book.sheetAt(0).cell(0, 0).setText("fine");
    book.sheetAt(0).cell(GetParam().row, GetParam().column).setText("too far");
    EXPECT_FALSE(book.saveAs(dir.file("x.xls")));
    EXPECT_FALSE(book.lastError().empty());
    EXPECT_FALSE(std::filesystem::exists(dir.file("x.xls")));
}

INSTANTIATE_TEST_SUITE_P(Cells, XlsRefusals,
                         ::testing::Values(RefusalCase{"row_65536", 65536, 0}, RefusalCase{"column_256", 0, 256},
                                           RefusalCase{"far_away", 4000000000u, 100000}),
                         [](const auto& info) { return std::string(info.param.label); });

TEST(XlsSave, AnUnwritablePathFailsWithAReason) {
    XlsWorkbook book = XlsWorkbook::create(1);
    book.sheetAt(0).cell(0, 0).setText("x");
    EXPECT_FALSE(book.saveAs("/nonexistent-orva-dir/out.xls"));
    EXPECT_NE(book.lastError().find("/nonexistent-orva-dir/out.xls"), std::string::npos);
}

TEST(XlsSave, BoundSheetNamesUseTheEightBitFormWhenEveryCharacterFits) {
    for (const auto& [name, wide] : std::vector<std::pair<std::string, bool>>{
             {"tech", false}, {"Müller", false}, {"张三", true}, {"Zoë 😀", true}}) {
        XlsWorkbook book = XlsWorkbook::create(1);
        ASSERT_TRUE(book.renameSheet("Sheet1", name)) << name;
        const Result<std::string> stream = book.workbookStream();
        ASSERT_TRUE(stream.ok()) << stream.error();
        const BiffBook b = AnalyseWorkbook(stream.value());
        const test::BiffRecord& bound = b.globals.at(33);
        ASSERT_EQ(bound.id, XlsRecord::BoundSheet);
        EXPECT_EQ(bound.data[4], 0) << "visible";
        EXPECT_EQ(bound.data[5], 0) << "worksheet";
        EXPECT_EQ(bound.data[7], wide ? 1 : 0) << name;
        EXPECT_EQ(b.sheets.at(0).name, name);
    }
}

} // namespace
} // namespace orva

#include "core/records/XlsSheetName.h"
#include "core/records/XlsWorkbook.h"

#include "xls_Support.h"

#include <gtest/gtest.h>

namespace orva {
namespace {

using test::Repeat;

TEST(XlsSheetNames, NewWorkbooksNumberTheirSheetsFromOne) {
    EXPECT_EQ(XlsWorkbook::create(1).sheetNames(), (std::vector<std::string>{"Sheet1"}));
    EXPECT_EQ(XlsWorkbook::create(3).sheetNames(), (std::vector<std::string>{"Sheet1", "Sheet2", "Sheet3"}));
    EXPECT_EQ(XlsWorkbook::create(0).sheetCount(), 0);

    // The lowest number not yet taken.
    XlsWorkbook book = XlsWorkbook::create(3);
    ASSERT_TRUE(book.renameSheet("Sheet2", "ops"));
    EXPECT_EQ(book.nextDefaultSheetName(), "Sheet2");
    ASSERT_NE(book.addSheet(book.nextDefaultSheetName()), nullptr);
    EXPECT_EQ(book.nextDefaultSheetName(), "Sheet4");
}

struct RenameCase {
    const char* label;
    std::string from;
    std::string to;
    bool renamed;
};

class XlsRename : public ::testing::TestWithParam<RenameCase> {};

TEST_P(XlsRename, FollowsTheNamingRules) {
    XlsWorkbook book = XlsWorkbook::create(2); // Sheet1, Sheet2
    const RenameCase& c = GetParam();
    EXPECT_EQ(book.renameSheet(c.from, c.to), c.renamed);
    if (c.renamed) {
        EXPECT_NE(book.sheet(c.to), nullptr);
        EXPECT_EQ(book.sheet(c.from), nullptr);
    } else if (book.sheet(c.from)) {
        EXPECT_EQ(book.sheetNames(), (std::vector<std::string>{"Sheet1", "Sheet2"})) << "nothing renamed";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, XlsRename,
    ::testing::Values(
        RenameCase{"plain", "Sheet1", "tech", true}, RenameCase{"chinese", "Sheet1", "张三", true},
        RenameCase{"no_such_sheet", "Sheet9", "tech", false}, RenameCase{"to_own_name", "Sheet1", "Sheet1", false},
        RenameCase{"to_other_sheets_name", "Sheet1", "Sheet2", false},
        RenameCase{"other_sheet_differs_in_case", "Sheet1", "SHEET2", false},
        RenameCase{"own_name_in_other_case", "Sheet1", "sheet1", true}, RenameCase{"empty", "Sheet1", "", false},
        RenameCase{"thirty_one_chars", "Sheet1", Repeat("n", 31), true},
        RenameCase{"thirty_two_chars", "Sheet1", Repeat("n", 32), false},
        RenameCase{"thirty_one_chinese", "Sheet1", Repeat("名", 31), true}, RenameCase{"slash", "Sheet1", "a/b", false},
        RenameCase{"colon", "Sheet1", "a:b", false}, RenameCase{"backslash", "Sheet1", "a\\b", false},
        RenameCase{"question", "Sheet1", "a?", false}, RenameCase{"star", "Sheet1", "*", false},
        RenameCase{"brackets", "Sheet1", "[a]", false}, RenameCase{"control_char", "Sheet1", "a\tb", false},
        RenameCase{"leading_apostrophe", "Sheet1", "'a", false},
        RenameCase{"inner_apostrophe", "Sheet1", "O'Neil", true},
        RenameCase{"malformed_utf8", "Sheet1", "a\xFF", false}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(XlsSheetNames, LookupIsByExactName) {
    XlsWorkbook book = XlsWorkbook::create(1);
    EXPECT_NE(book.sheet("Sheet1"), nullptr);
    EXPECT_EQ(book.sheet("sheet1"), nullptr);
    EXPECT_EQ(book.sheet(""), nullptr);
    EXPECT_EQ(book.addSheet("SHEET1"), nullptr) << "names differing only in case cannot coexist";
}

struct MakeCase {
    const char* label;
    std::string wanted;
    std::string made;
};

class XlsMakeSheetName : public ::testing::TestWithParam<MakeCase> {};

TEST_P(XlsMakeSheetName, GivesAValidNameCloseToTheWantedOne) {
    const std::string made = MakeSheetName(GetParam().wanted);
    EXPECT_EQ(made, GetParam().made);
    EXPECT_TRUE(IsValidSheetName(made));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, XlsMakeSheetName,
    ::testing::Values(MakeCase{"valid_kept", "tech 1", "tech 1"}, MakeCase{"chinese_kept", "张三", "张三"},
                      MakeCase{"forbidden_replaced", "a/b:c\\d?e*f[g]", "a_b_c_d_e_f_g_"},
                      MakeCase{"control_replaced", "a\nb", "a_b"}, MakeCase{"apostrophes_at_ends", "'x'", "_x_"},
                      MakeCase{"cut_to_31", Repeat("abcd", 10), Repeat("abcd", 7) + "abc"},
                      MakeCase{"chinese_cut_to_31", Repeat("名", 40), Repeat("名", 31)},
                      // 30 letters and a surrogate pair make 32 units: the pair goes rather than half of it.
                      MakeCase{"pair_not_split", Repeat("a", 30) + "😀", Repeat("a", 30)},
                      MakeCase{"empty_falls_back", "", "Sheet1"}, MakeCase{"malformed_byte", "a\xC3", "a_"}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(XlsSheetNames, SuffixesFitBehindACutName) {
    EXPECT_EQ(SheetNameWithSuffix("tech", " (2)"), "tech (2)");
    EXPECT_EQ(SheetNameWithSuffix(Repeat("n", 31), " (12)"), Repeat("n", 26) + " (12)");
}

} // namespace
} // namespace orva

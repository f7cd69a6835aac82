// The text beside the log query page's list for one stored row: its checks as the list words them and
// the faults kept with it, in the selected language.
#include "core/diagnosis/CheckItems.h"
#include "core/diagnosis/RecordDetails.h"

#include "core/app/TextTable.h"
#include "core/records/RecordFields.h"

#include <gtest/gtest.h>

namespace orva {
namespace {

std::vector<std::string> Columns() {
    return {RecordColumnNames().begin(), RecordColumnNames().end()};
}

// A row as a search returns it: every column, the results as stored texts.
RowTexts Row() {
    RowTexts row(RecordColumnNames().size());
    const std::vector<std::string> columns = Columns();
    const auto set = [&](const std::string& name, std::optional<std::string> text) {
        row[static_cast<std::size_t>(std::find(columns.begin(), columns.end(), name) - columns.begin())] = text;
    };
    for (const std::string& name : columns)
        set(name, "9");
    set("id", "12");
    set("sn", "SN\x1b[2J0001");
    set("Mac", "00-11-22-33-44-55");
    set("FE1Check", "1");
    set("FE2Check", "0");
    set("CPULoadCheck", "12.000000");
    set("MemCheck", "30.000000");
    set("SoftWareVersionCheck", "V3.1");
    set("PSCheck", std::nullopt);
    set("datetime", "2026-03-01 10:00:00");
    return row;
}

struct DetailsCase {
    const char* name;
    const char* language;
    std::optional<std::vector<RecordFault>> faults;
    std::string error;
    std::vector<std::string> expected; // lines the text must hold, in this order
    std::vector<std::string> absent;   // texts it must not hold
};

class RecordDetailsText : public ::testing::TestWithParam<DetailsCase> {
protected:
    void TearDown() override { SelectLanguage("Chinese"); }
};

TEST_P(RecordDetailsText, ShowsChecksAndFaultsInTheLanguage) {
    const DetailsCase& c = GetParam();
    SelectLanguage(c.language);
    const std::string text = orva::RecordDetailsText(Columns(), Row(), c.faults, c.error);
    std::size_t at = 0;
    for (const std::string& line : c.expected) {
        const std::size_t found = text.find(line, at);
        EXPECT_NE(found, std::string::npos) << "missing or out of order: " << line << "\n" << text;
        if (found != std::string::npos)
            at = found + line.size();
    }
    for (const std::string& piece : c.absent)
        EXPECT_EQ(text.find(piece), std::string::npos) << piece << "\n" << text;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RecordDetailsText,
    ::testing::Values(DetailsCase{"ChineseWithFaults",
                                  "Chinese",
                                  std::vector<RecordFault>{{14, "LED 不正常"}, {2, "FE2 不正常"}},
                                  "",
                                  {"记录 12，序列号 SN\xEF\xBF\xBD[2J0001\n", "\n故障\n",
                                   "  14 LED灯诊断: LED 不正常\n", "  02 第一个LAN2口测试: FE2 不正常\n", "\n检测项\n",
                                   "  01 第一个LAN1口测试: 成功\n", "  02 第一个LAN2口测试: 失败\n",
                                   "  14 LED灯诊断: 未检测\n", "  17 软件版本号: V3.1\n",
                                   "  19 系统资源: 12.000000 / 30.000000\n"},
                                  // Items without a stored column, and a NULL column, show no line; no escape byte.
                                  {"\x1b", "LOOP测试", ": \n"}},
                      DetailsCase{"EnglishWithoutFaults",
                                  "English",
                                  std::vector<RecordFault>{},
                                  "",
                                  {"Record 12, serial number", "\nFaults\n  No faults recorded\n", "\nChecks\n"},
                                  {"故障"}},
                      DetailsCase{"UnreadFaults",
                                  "English",
                                  std::nullopt,
                                  "SQLITE_BUSY[5]: database is locked",
                                  {"\nFaults\n  The faults could not be read: SQLITE_BUSY[5]: database is locked\n"},
                                  {"No faults recorded"}},
                      DetailsCase{"ItemOutsideTheTable",
                                  "Chinese",
                                  std::vector<RecordFault>{{99, "x\ny"}, {0, "z"}},
                                  "",
                                  {"  99 #99: x\xEF\xBF\xBDy\n", "  00 #0: z\n"},
                                  {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(RecordDetails, ItemNamesAndTheEmptyPane) {
    SelectLanguage("English");
    EXPECT_EQ(FaultItemName(14), Text(TextId::ItemLed));
    EXPECT_EQ(FaultItemName(kCheckItemCount + 1), "#" + std::to_string(kCheckItemCount + 1));
    EXPECT_EQ(NoRecordSelectedText(), "Select a record to see its checks and faults.");
    SelectLanguage("Chinese");
    EXPECT_EQ(FaultItemName(1), Text(TextId::ItemLan1));
    EXPECT_EQ(NoRecordSelectedText(), "选择一条记录，查看其检测项和故障。");
}

} // namespace
} // namespace orva

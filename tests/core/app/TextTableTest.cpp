#include "core/app/TextTable.h"

#include <cstdio>
#include <gtest/gtest.h>

namespace orva {
namespace {

class TextTableTest : public ::testing::Test {
protected:
    void SetUp() override { ResetLanguageForTests(); }
    void TearDown() override { ResetLanguageForTests(); }
};

struct RowCase {
    TextId id;
    const char* chinese;
    const char* english;
};

// A few rows of every group, with the texts' quirks: full-width punctuation in English texts, ASCII quotes
// inside texts, CR LF, typos, columns without text.
const RowCase kRows[] = {
    {TextId::DiagFinished, "诊断完毕", "Diagnosis finish"},
    {TextId::ConnectTimeout, "连接超时", "connect tineout"},
    {TextId::DeviceTypeNotSet, "当前检测设备类型未指定，请确认", "Current Device Type is NULL,Please Confrom"},
    {TextId::NoReportResult, "当前没有检测结果", "No report result now!"},
    {TextId::ExitTitle, "退出确认", "Information"},
    {TextId::ItemLan1, "第一个LAN1口测试", "LAN1 test"},
    {TextId::ItemPots1Ring, "POST1 响铃测试", "POST1 ringon test"},
    {TextId::ItemConfigIntegrity, "配置文件完整性", "Intergity"},
    {TextId::ItemPotsStart, "POST开始测试", "POST1 start test"},
    {TextId::PromptLan1, "请用网线连接LAN1口，然后点击“确定”", "Please connect LAN1，than click \"ok\"，to test LAN1!"},
    {TextId::PromptOpticalRead, "请读取光功率计上的示数，如果在正常范围（-1dbm～+4dbm），请点击“确定”；反之点击“取消”",
     "Please check whether the optical power value is between -1 dBm to 5dBm"},
    {TextId::PromptDslConnect, "请插入DSL电话线，然后点击“确定”",
     "Please plug in the DSL telephone line, then click \"ok\""},
    {TextId::PromptPots2Cng, "继续保持摘机状态，请点击“确定”",
     "Will be set cng to POST2,Please pick up the telephone phone to POST1,than click \"ok\""},
    {TextId::AskLed, "如果LED灯全部点亮，请点击“确定”；其他情况请点击“取消”",
     "Please confirm whether all LEDs are on（Not contain Web LED）"},
    {TextId::AskLedDsl, "如果LED灯全部点亮，请点击“确定”；其他情况请点击“取消”",
     "If all LEDs are on, click \"ok\"; otherwise click \"cancel\""},
    {TextId::ErrFe1, "FE1 不正常", "FE1 Error"},
    {TextId::ErrSystemResource, "系统资源 不正常", "CPU Memory Error"},
    {TextId::ErrDisk, "磁盘检查 不正常", "DISK Error"},
    {TextId::ColDiagStatus, "诊断状态", "Stauts"},
    {TextId::LoginFailed, "登录失败!", "Login Failure!"},
    {TextId::UpdateDownloadFailed, "更新文件下载失败!\r\n重新下载吗?", "Install file download Failure!\r\nReload?"},
    {TextId::AskDownloadNewVersion, "新版本，确认下载升级包吗?",
     "There is a new version，Conform to download install file?"},
    {TextId::CapMaintAddress, "终端维护地址：", "EPON Maintenance IP adress:"},
    {TextId::CapBoardInfo, "单板基本信息", "Basic Board Information"},
    {TextId::TitleReset, "", "Restore to Factory Defaults"},
    {TextId::CapAfterTransfer, "镜像传输完成后：", "After Image Transported："},
    {TextId::CapPassword, "密  码:", "Password:"},
    {TextId::TitleLogin, "", "Login"},
    {TextId::CapSaveButton, "保存", "save"},
    {TextId::DiagConnecting, "正在连接 %s …", "Connecting to %s …"},
    {TextId::ItemRunning, "检测中…", "checking…"},
    {TextId::ModelLockedDuringRun, "检测进行中，不能更改设备类型。",
     "A diagnosis is running: the device type cannot be changed."},
};

TEST_F(TextTableTest, EachLanguageShowsItsOwnColumn) {
    for (const RowCase& r : kRows) {
        const auto n = static_cast<int>(r.id);
        EXPECT_EQ(ChineseText(r.id), r.chinese) << n;
        EXPECT_EQ(EnglishText(r.id), r.english) << n;
        EXPECT_EQ(Text(r.id), "") << n;
    }
    SelectLanguage("Chinese");
    EXPECT_EQ(LanguageName(), "Chinese");
    EXPECT_FALSE(IsEnglish());
    for (const RowCase& r : kRows)
        EXPECT_EQ(Text(r.id), r.chinese) << static_cast<int>(r.id);
    SelectLanguage("English");
    EXPECT_EQ(LanguageName(), "English");
    EXPECT_TRUE(IsEnglish());
    for (const RowCase& r : kRows)
        EXPECT_EQ(Text(r.id), r.english) << static_cast<int>(r.id);
}

TEST_F(TextTableTest, EveryRowHasItsTexts) {
    SelectLanguage("english");
    for (std::size_t i = 0; i < kTextIdCount; ++i) {
        const auto id = static_cast<TextId>(i);
        if (id == TextId::LogColumns1 || id == TextId::LogColumns2)
            continue;
        const bool titleRow = id == TextId::TitleReset || id == TextId::TitleImageUpgrade || id == TextId::TitleLogin;
        EXPECT_FALSE(Text(id).empty()) << i;
        EXPECT_EQ(ChineseText(id).empty(), titleRow) << i;
        EXPECT_EQ(TextList(id), std::vector<std::string>{Text(id)}) << i;
    }
}

TEST_F(TextTableTest, LanguageNameMatchesWithoutRegardToCaseOnly) {
    struct Case {
        const char* setting;
        const char* language;
    };
    for (const Case c :
         {Case{"Chinese", "Chinese"}, Case{"chinese", "Chinese"}, Case{"CHINESE", "Chinese"},
          Case{"English", "English"}, Case{"english", "English"}, Case{"ENGLISH", "English"}, Case{"Chinese ", ""},
          Case{" English", ""}, Case{"", ""}, Case{"Chin", ""}, Case{"中文", ""}, Case{"EnglishX", ""}}) {
        ResetLanguageForTests();
        SelectLanguage(c.setting);
        EXPECT_EQ(LanguageName(), c.language) << '"' << c.setting << '"';
        EXPECT_EQ(IsEnglish(), std::string(c.language) == "English") << c.setting;
        if (*c.language == '\0') {
            EXPECT_EQ(Text(TextId::ItemLan1), "") << c.setting;
            EXPECT_EQ(Text(TextId::CapMaintAddress), "") << c.setting;
            EXPECT_EQ(TextList(TextId::LogColumns1), (std::vector<std::string>{"", "", ""})) << c.setting;
        } else {
            EXPECT_EQ(Text(TextId::ItemLan1), c.language[0] == 'E' ? "LAN1 test" : "第一个LAN1口测试");
        }
    }
}

// Start-up never leaves the table unselected: a run's questions would be empty.
TEST_F(TextTableTest, StartUpFallsBackToChineseForAnUnknownName) {
    struct Case {
        const char* setting;
        bool known;
        const char* language;
    };
    for (const Case c : {Case{"english", true, "English"}, Case{"Chinese", true, "Chinese"},
                         Case{"Klingon", false, "Chinese"}, Case{"", false, "Chinese"}, Case{"中文", false, "Chinese"}}) {
        ResetLanguageForTests();
        EXPECT_EQ(SelectStartupLanguage(c.setting), c.known) << c.setting;
        EXPECT_EQ(LanguageName(), c.language) << c.setting;
        EXPECT_FALSE(Text(TextId::ItemLan1).empty()) << c.setting;
    }
}

TEST_F(TextTableTest, UnknownNameKeepsAnEarlierSelection) {
    SelectLanguage("English");
    SelectLanguage("Chinese ");
    EXPECT_EQ(LanguageName(), "English");
    EXPECT_EQ(Text(TextId::ItemLan1), "LAN1 test");
}

TEST_F(TextTableTest, ExitUnreportedTakesExactlyOneNumber) {
    for (const char* language : {"Chinese", "English"}) {
        SelectLanguage(language);
        const std::string& format = Text(TextId::ExitUnreported);
        ASSERT_EQ(format.find("%d"), format.rfind("%d")) << language;
        ASSERT_NE(format.find("%d"), std::string::npos) << language;
        EXPECT_EQ(format.find('%'), format.find("%d")) << language;
    }
    char text[200];
    std::snprintf(text, sizeof text, Text(TextId::ExitUnreported).c_str(), 3);
    EXPECT_STREQ(text, "There is 3 Items have not report，Are you sure you want to exit?");
}

TEST_F(TextTableTest, LogColumnListsAreSelectedAsAWhole) {
    SelectLanguage("Chinese");
    const std::vector<std::string> chinese = {"序号", "检测项", "检测结果"};
    EXPECT_EQ(TextList(TextId::LogColumns1), chinese);
    EXPECT_EQ(TextList(TextId::LogColumns2), chinese);
    EXPECT_EQ(Text(TextId::LogColumns1), "");
    SelectLanguage("English");
    const std::vector<std::string> english = {"No", "Item", "Result"};
    EXPECT_EQ(TextList(TextId::LogColumns1), english);
    EXPECT_EQ(TextList(TextId::LogColumns2), english);
}

TEST_F(TextTableTest, ChineseListsWhateverIsSelected) {
    const std::vector<std::string> headings = {"序号", "检测项", "检测结果"};
    for (const char* setting : {"", "Klingon", "English", "Chinese"}) {
        ResetLanguageForTests();
        SelectLanguage(setting);
        EXPECT_EQ(ChineseTextList(TextId::LogColumns1), headings) << setting;
        EXPECT_EQ(ChineseTextList(TextId::LogColumns2), headings) << setting;
        EXPECT_EQ(ChineseTextList(TextId::ColDiagItem), std::vector<std::string>{"诊断项"}) << setting;
        EXPECT_EQ(ChineseTextList(TextId::TitleLogin), std::vector<std::string>{""}) << setting;
    }
    EXPECT_TRUE(ChineseTextList(TextId::Count_).empty());
}

} // namespace
} // namespace orva

#include "core/app/IniFile.h"

#include "TestSupport.h"

#include <cctype>
#include <climits>
#include <gtest/gtest.h>

namespace orva {
namespace {

using test::CaseName;

struct ReadCase {
    const char* name;
    std::string text;
    const char* section;
    const char* key;
    std::string expected; // "<default>" when the default must come back
};

void PrintTo(const ReadCase& c, std::ostream* os) {
    *os << c.name;
}

std::string Repeat(const std::string& s, int n) {
    std::string out;
    for (int i = 0; i < n; ++i)
        out += s;
    return out;
}

class IniRead : public ::testing::TestWithParam<ReadCase> {};

TEST_P(IniRead, FindsValueAsWindowsProfilesDo) {
    const ReadCase& c = GetParam();
    const IniFile ini = IniFile::fromText(c.text);
    EXPECT_EQ(ini.get(c.section, c.key, "<default>"), c.expected) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, IniRead,
    ::testing::Values(ReadCase{"exact", "[Setting]\nLanguage=English\n", "Setting", "Language", "English"},
                      ReadCase{"section case", "[SETTING]\nLanguage=English\n", "setting", "Language", "English"},
                      ReadCase{"key case", "[Setting]\nlanguage=English\n", "Setting", "LANGUAGE", "English"},
                      ReadCase{"blanks around names and value", "  [  Setting\t]  \n \tLanguage \t=  English \t\n",
                               "Setting", "Language", "English"},
                      ReadCase{"asked with blanks", "[Setting]\nReportURL=http://127.0.0.1/r\n", " Setting ",
                               "ReportURL ", "http://127.0.0.1/r"},
                      ReadCase{"inner blanks kept", "[S]\nk= a  b \n", "S", "k", "a  b"},
                      ReadCase{"double quotes", "[S]\nk = \" a b \" \n", "S", "k", " a b "},
                      ReadCase{"single quotes", "[S]\nk='x'\n", "S", "k", "x"},
                      ReadCase{"one pair only", "[S]\nk=\"\"x\"\"\n", "S", "k", "\"x\""},
                      ReadCase{"mismatched quotes kept", "[S]\nk=\"x'\n", "S", "k", "\"x'"},
                      ReadCase{"lone quote kept", "[S]\nk=\"\n", "S", "k", "\""},
                      ReadCase{"empty quotes", "[S]\nk=\"\"\n", "S", "k", ""},
                      ReadCase{"empty value is not the default", "[S]\nk=\n", "S", "k", ""},
                      ReadCase{"value with equals sign", "[S]\nk=a=b\n", "S", "k", "a=b"},
                      ReadCase{"missing key", "[S]\nother=1\n", "S", "k", "<default>"},
                      ReadCase{"missing section", "[T]\nk=1\n", "S", "k", "<default>"},
                      ReadCase{"key of another section", "[S]\na=1\n[T]\nk=2\n", "S", "k", "<default>"},
                      ReadCase{"key before any section", "k=1\n[S]\n", "S", "k", "<default>"},
                      ReadCase{"comment is no key", "[S]\n;k=1\n", "S", "k", "<default>"},
                      ReadCase{"line without equals ignored", "[S]\nk\nk=2\n", "S", "k", "2"},
                      ReadCase{"first of duplicate keys", "[S]\nk=1\nK=2\n", "S", "k", "1"},
                      ReadCase{"first of duplicate sections", "[S]\na=1\n[s]\nk=2\n", "S", "k", "<default>"},
                      ReadCase{"BOM and CRLF", "\xEF\xBB\xBF[Setting]\r\nLanguage=English\r\nRunNet=0\r\n", "Setting",
                               "Language", "English"},
                      ReadCase{"last line without line end", "[S]\r\nk=v", "S", "k", "v"},
                      ReadCase{"Chinese text", "[型号]\n名称=光猫\n", "型号", "名称", "光猫"},
                      ReadCase{"cut to 999 characters", "[S]\nk=" + Repeat("中", 1000) + "\n", "S", "k",
                               Repeat("中", 999)},
                      ReadCase{"999 characters kept", "[S]\nk=" + Repeat("a", 999) + "\n", "S", "k", Repeat("a", 999)}),
    [](const auto& info) { return CaseName(info.param.name); });

struct WriteCase {
    const char* name;
    std::string before;
    const char* section;
    const char* key;
    const char* value;
    std::string after;
};

void PrintTo(const WriteCase& c, std::ostream* os) {
    *os << c.name;
}

class IniWrite : public ::testing::TestWithParam<WriteCase> {};

const std::string kDoc = "; top comment\n[A]\nx=1\n; about y\ny = 2\n\n[B]\nx=3\n";

TEST_P(IniWrite, ChangesOnlyTheLineConcerned) {
    const WriteCase& c = GetParam();
    IniFile ini = IniFile::fromText(c.before);
    ASSERT_TRUE(ini.set(c.section, c.key, c.value)) << c.name;
    EXPECT_EQ(ini.text(), c.after) << c.name;
    EXPECT_EQ(ini.get(c.section, c.key), c.value) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, IniWrite,
    ::testing::Values(WriteCase{"existing key in place", kDoc, "A", "y", "9",
                                "; top comment\n[A]\nx=1\n; about y\ny=9\n\n[B]\nx=3\n"},
                      WriteCase{"key case keeps file spelling", kDoc, "a", "X", "5",
                                "; top comment\n[A]\nx=5\n; about y\ny = 2\n\n[B]\nx=3\n"},
                      WriteCase{"new key ends its section", kDoc, "A", "z", "7",
                                "; top comment\n[A]\nx=1\n; about y\ny = 2\nz=7\n\n[B]\nx=3\n"},
                      WriteCase{"new key in last section", kDoc, "B", "z", "7",
                                "; top comment\n[A]\nx=1\n; about y\ny = 2\n\n[B]\nx=3\nz=7\n"},
                      WriteCase{"new section ends the file", kDoc, "C", "k", "v", kDoc + "[C]\nk=v\n"},
                      WriteCase{"no final line end", "[A]\nx=1", "B", "k", "v", "[A]\nx=1\n[B]\nk=v\n"},
                      WriteCase{"BOM and CRLF kept", "\xEF\xBB\xBF[A]\r\nx=1\r\n", "A", "y", "2",
                                "\xEF\xBB\xBF[A]\r\nx=1\r\ny=2\r\n"},
                      WriteCase{"empty file", "", "S", "k", "v", "[S]\nk=v\n"},
                      WriteCase{"section without keys", "[A]\n[B]\nx=1\n", "A", "k", "v", "[A]\nk=v\n[B]\nx=1\n"},
                      WriteCase{"first of duplicate sections", "[A]\nx=1\n[A]\nx=2\n", "A", "x", "3",
                                "[A]\nx=3\n[A]\nx=2\n"},
                      WriteCase{"empty value", "[A]\nx=1\n", "A", "x", "", "[A]\nx=\n"}),
    [](const auto& info) { return CaseName(info.param.name); });

TEST(IniWrite, RefusesTextThatWouldNotReadBack) {
    IniFile ini = IniFile::fromText(kDoc);
    EXPECT_FALSE(ini.set("A", "x", "1\n[B]"));
    EXPECT_FALSE(ini.set("A", "x", "1\r2"));
    EXPECT_FALSE(ini.set("A", "k=v", "1"));
    EXPECT_FALSE(ini.set("A", " ", "1"));
    EXPECT_FALSE(ini.set("", "x", "1"));
    EXPECT_FALSE(ini.set("A]", "x", "1"));
    EXPECT_FALSE(ini.set("A", "[x", "1"));
    EXPECT_EQ(ini.text(), kDoc);
}

TEST(IniFile, ListsSectionsAndKeysAndErases) {
    IniFile ini = IniFile::fromText("[Models]\ncount=2\nm1=HG8\n[HG8]\nlan=1\n; c\nwifi=0\n[models]\nx=1\n");
    EXPECT_EQ(ini.sectionNames(), (std::vector<std::string>{"Models", "HG8"}));
    EXPECT_EQ(ini.keys("models"), (std::vector<std::string>{"count", "m1"}));
    EXPECT_TRUE(ini.keys("none").empty());
    EXPECT_TRUE(ini.hasSection("hg8"));
    EXPECT_TRUE(ini.hasKey("HG8", "WIFI"));
    EXPECT_TRUE(ini.erase("hg8", "lan"));
    EXPECT_FALSE(ini.erase("hg8", "lan"));
    EXPECT_TRUE(ini.eraseSection("HG8"));
    EXPECT_FALSE(ini.hasSection("HG8"));
    EXPECT_EQ(ini.text(), "[Models]\ncount=2\nm1=HG8\n[models]\nx=1\n");
}

TEST(IniFile, ProfileFunctionsReadAndWriteFiles) {
    test::TempProgramDir dir("orva-ini");
    const std::string path = dir.file("res/device.ini");
    EXPECT_EQ(ReadProfileString(path, "S", "k", "def"), "def");
    EXPECT_FALSE(IniFile::load(path).has_value());
    EXPECT_FALSE(IniFile::load(dir.path()).has_value()) << "a directory is no settings file";

    ASSERT_TRUE(WriteProfileString(path, "S", "k", "v"));
    ASSERT_TRUE(WriteProfileString(path, "S", "k2", "\"quoted\""));
    test::writeFile(path, test::readFile(path) + "; kept\n");
    ASSERT_TRUE(WriteProfileString(path, "s", "K", "w"));
    EXPECT_EQ(test::readFile(path), "[S]\nk=w\nk2=\"quoted\"\n; kept\n");
    EXPECT_EQ(ReadProfileString(path, "S", "k2"), "quoted");

    EXPECT_FALSE(WriteProfileString(dir.file("missing/dir.ini"), "S", "k", "v"));
    IniFile unnamed;
    EXPECT_FALSE(unnamed.save());
}

TEST(LeadingNumbers, IntegersReadLikeAtoi) {
    const std::vector<std::pair<std::string, int>> cases = {
        {"240", 240},
        {"20x", 20},
        {"  -5", -5},
        {"+7", 7},
        {"\t42 ", 42},
        {"1 2", 1},
        {"0x10", 0},
        {"abc", 0},
        {"", 0},
        {"-", 0},
        {"007", 7},
        {"3.9", 3},
        {"99999999999", INT_MAX},
        {"-99999999999", INT_MIN},
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(LeadingInt(text), expected) << '"' << text << '"';
}

TEST(LeadingNumbers, FloatsReadLikeAtofInSinglePrecision) {
    const std::vector<std::pair<std::string, float>> cases = {
        {"0.005", 0.005f}, {"0.0125", 0.0125f}, {" 2.5", 2.5f}, {"-0.5", -0.5f}, {".5", 0.5f},
        {"1e-3x", 0.001f}, {"3", 3.0f},         {"abc", 0.0f},  {"", 0.0f},      {"0,5", 0.0f},
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(LeadingFloat(text), expected) << '"' << text << '"';
}

TEST(LeadingNumbers, IniGettersUseThemAndDefaultOnlyWhenMissing) {
    const IniFile ini = IniFile::fromText("[S]\nwait=20x\nbad=abc\nf=0.0125\n");
    EXPECT_EQ(ini.getInt("S", "wait", 240), 20);
    EXPECT_EQ(ini.getInt("S", "bad", 240), 0);
    EXPECT_EQ(ini.getInt("S", "missing", 240), 240);
    EXPECT_EQ(ini.getFloat("S", "f", 0.005f), 0.0125f);
    EXPECT_EQ(ini.getFloat("S", "bad", 0.005f), 0.0f);
    EXPECT_EQ(ini.getFloat("S", "missing", 0.005f), 0.005f);
}

} // namespace
} // namespace orva

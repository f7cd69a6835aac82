// The texts of the crash path: dump file names, the message formatting, the local time formed
// without the C library and the answer words.
#include "core/crash/CrashText.h"
#include "core/crash/CrashPrompt.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>

namespace orva::crash {
namespace {

std::string DumpName(const char* app, const CivilTime& t, std::size_t capacity = 512) {
    std::string buffer(capacity, '\0');
    TextBuffer out(buffer.data(), capacity);
    AppendDumpFileName(out, app, t);
    return out.c_str();
}

struct NameCase {
    const char* app;
    CivilTime time;
    const char* expected;
};

class DumpNameTest : public ::testing::TestWithParam<NameCase> {};

TEST_P(DumpNameTest, FormsNameFromAppAndLocalTime) {
    EXPECT_EQ(DumpName(GetParam().app, GetParam().time), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Names, DumpNameTest,
    ::testing::Values(NameCase{"orva", {2014, 8, 7, 9, 15, 2}, "orva_20140807-091502.dmp"},
                      NameCase{"my app.beta", {2014, 8, 7, 9, 15, 2}, "my_app-beta_20140807-091502.dmp"},
                      NameCase{"v1.2 .x", {1999, 12, 31, 23, 59, 59}, "v1-2_-x_19991231-235959.dmp"},
                      NameCase{"", {2024, 2, 29, 0, 0, 0}, "_20240229-000000.dmp"},
                      NameCase{"诊断 工具", {2030, 1, 2, 3, 4, 5}, "诊断_工具_20300102-030405.dmp"}));

TEST(DumpPathTest, LongDirectoryCutsTheNameAtTheLimit) {
    char buffer[32];
    TextBuffer out(buffer, sizeof buffer);
    out.append("/a/rather/long/folder/");
    AppendDumpFileName(out, "orva", {2014, 8, 7, 9, 15, 2});
    EXPECT_EQ(std::string(out.c_str()), "/a/rather/long/folder/orva_2014");
    EXPECT_TRUE(out.truncated());
}

TEST(FormatTextTest, FillsArgumentsInOrderAndStopsAtCapacity) {
    char buffer[256];
    TextBuffer out(buffer, sizeof buffer);
    char number[24];
    FormatText(out, "Failed to create dump file \"%s\".\r\n\r\nError: %u", {"/x/orva.dmp", UnsignedText(13, number)});
    EXPECT_EQ(std::string(out.c_str()), "Failed to create dump file \"/x/orva.dmp\".\r\n\r\nError: 13");

    out.clear();
    FormatText(out, "%s and %s, 100%% %s", {"one"});
    EXPECT_EQ(std::string(out.c_str()), "one and , 100% ");

    char small[8];
    TextBuffer cut(small, sizeof small);
    FormatText(cut, "%s!", {"abcdefghij"});
    EXPECT_EQ(std::string(cut.c_str()), "abcdefg");
    EXPECT_TRUE(cut.truncated());
}

TEST(UnsignedTextTest, WritesDecimalDigits) {
    char number[24];
    EXPECT_STREQ(UnsignedText(0, number), "0");
    EXPECT_STREQ(UnsignedText(4294967295u, number), "4294967295");
    EXPECT_STREQ(UnsignedText(18446744073709551615ull, number), "18446744073709551615");
}

TEST(CivilTimeTest, AgreesWithTheCLibraryInUtc) {
    // Leap days, century years, before 1970, and ordinary days.
    const std::int64_t samples[] = {0,          -1,           951782400,    951868800,  4107542400, 4107456000,
                                    1407402902, -86400 * 366, 253402300799, 1709164800, 1234567890};
    for (std::int64_t s : samples) {
        const std::time_t t = static_cast<std::time_t>(s);
        std::tm tm{};
        ASSERT_NE(gmtime_r(&t, &tm), nullptr);
        const CivilTime c = CivilFromSeconds(s);
        EXPECT_EQ(c.year, tm.tm_year + 1900) << s;
        EXPECT_EQ(c.month, tm.tm_mon + 1) << s;
        EXPECT_EQ(c.day, tm.tm_mday) << s;
        EXPECT_EQ(c.hour, tm.tm_hour) << s;
        EXPECT_EQ(c.minute, tm.tm_min) << s;
        EXPECT_EQ(c.second, tm.tm_sec) << s;
    }
}

// Each case runs in the named zone and puts the process's zone back afterwards.
class LocalClockTest : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override {
        const char* old = std::getenv("TZ");
        hadZone_ = old != nullptr;
        if (old)
            oldZone_ = old;
        setenv("TZ", GetParam(), 1);
        tzset();
    }
    void TearDown() override {
        if (hadZone_)
            setenv("TZ", oldZone_.c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }

private:
    bool hadZone_ = false;
    std::string oldZone_;
};

TEST_P(LocalClockTest, MatchesLocaltimeAcrossDaylightSavingChanges) {
    const std::time_t from = 1700000000; // November 2023; the span covers two spring and two autumn changes
    const std::time_t span = 2 * 366 * 86400;
    LocalClock clock;
    clock.prepare(from, span);
    auto check = [&](std::time_t t) {
        std::tm tm{};
        localtime_r(&t, &tm);
        const CivilTime c = clock.localTime(t);
        EXPECT_EQ(c.year, tm.tm_year + 1900) << t;
        EXPECT_EQ(c.month, tm.tm_mon + 1) << t;
        EXPECT_EQ(c.day, tm.tm_mday) << t;
        EXPECT_EQ(c.hour, tm.tm_hour) << t;
        EXPECT_EQ(c.minute, tm.tm_min) << t;
        EXPECT_EQ(c.second, tm.tm_sec) << t;
    };
    long previous = 0;
    for (std::time_t t = from; t < from + span; t += 1800) {
        std::tm tm{};
        localtime_r(&t, &tm);
        if (t != from && tm.tm_gmtoff != previous) {
            // Both sides of the change, to the second.
            for (std::time_t near = t - 1800; near <= t; ++near)
                check(near);
        }
        previous = tm.tm_gmtoff;
        check(t);
        if (HasFailure())
            return;
    }
}

INSTANTIATE_TEST_SUITE_P(Zones, LocalClockTest,
                         ::testing::Values("UTC", "Asia/Shanghai", "Europe/Berlin", "America/New_York",
                                           "Australia/Lord_Howe", "Pacific/Chatham"),
                         [](const auto& info) {
                             std::string name = info.param;
                             for (char& c : name)
                                 if (c == '/')
                                     c = '_';
                             return name;
                         });

TEST(CrashAnswerTest, ReadsYesAndNoWords) {
    const struct {
        const char* text;
        int expected;
    } cases[] = {{"yes", 1}, {"YES", 1},   {"y", 1}, {"1", 1},     {"True", 1}, {"no", 0},    {"N", 0},
                 {"0", 0},   {"false", 0}, {"", -1}, {"yess", -1}, {"ye", -1},  {nullptr, -1}};
    for (const auto& c : cases)
        EXPECT_EQ(ParseCrashAnswer(c.text), c.expected) << (c.text ? c.text : "(none)");
}

} // namespace
} // namespace orva::crash

#include "core/app/LogFile.h"

#include "TestSupport.h"

#include <cctype>
#include <ctime>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <iomanip>
#include <sstream>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace orva {
namespace {

using test::CaseName;

// "YYYY-MM-DD HH:MM:SS"
bool IsStamp(const std::string& s) {
    const std::string shape = "dddd-dd-dd dd:dd:dd";
    if (s.size() != shape.size())
        return false;
    for (std::size_t i = 0; i < s.size(); ++i)
        if (shape[i] == 'd' ? !std::isdigit(static_cast<unsigned char>(s[i])) : s[i] != shape[i])
            return false;
    return true;
}

std::time_t ParseStamp(const std::string& stamp) {
    std::tm tm{};
    std::istringstream in(stamp);
    in >> std::get_time(&tm, "%Y-%m-%d %H:%M:%S");
    tm.tm_isdst = -1;
    return std::mktime(&tm);
}

struct LineCase {
    const char* name;
    std::string tag;
    std::string message;
    std::string tagBytes;  // GBK
    std::string restBytes; // what follows "):" on disk
};

void PrintTo(const LineCase& c, std::ostream* os) {
    *os << c.name;
}

class LogFileLine : public ::testing::TestWithParam<LineCase> {
protected:
    test::TempProgramDir dir_{"orva-log"};
};

TEST_P(LogFileLine, StoredAsGbkWithCrLf) {
    const LineCase& c = GetParam();
    LogFile& log = LogFile::instance();
    const std::string path = dir_.file("orva.log");
    ASSERT_TRUE(log.open(path));
    const std::time_t before = std::time(nullptr);
    ASSERT_TRUE(log.write(c.tag, c.message));
    const std::time_t after = std::time(nullptr);

    const std::string bytes = test::readFile(path);
    const std::string head = "[" + c.tagBytes + "](";
    ASSERT_EQ(bytes.substr(0, head.size()), head) << c.name;
    const std::string stamp = bytes.substr(head.size(), 19);
    EXPECT_TRUE(IsStamp(stamp)) << stamp;
    EXPECT_GE(ParseStamp(stamp), before);
    EXPECT_LE(ParseStamp(stamp), after);
    EXPECT_EQ(bytes.substr(head.size() + 19), "):" + c.restBytes) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LogFileLine,
    ::testing::Values(LineCase{"chinese message", "UPLOAD", "DB关闭", "UPLOAD", "DB\xB9\xD8\xB1\xD5\r\n"},
                      LineCase{"chinese tag", "镜像传输取消", "ok", "\xBE\xB5\xCF\xF1\xB4\xAB\xCA\xE4\xC8\xA1\xCF\xFB",
                               "ok\r\n"},
                      LineCase{"empty message", "SAVE", "", "SAVE", "\r\n"},
                      LineCase{"message with CR LF", "LOGIN", "<a>\r\n</a>", "LOGIN", "<a>\r\r\n</a>\r\n"},
                      LineCase{"message with LF", "LOGIN", "a\nb", "LOGIN", "a\r\nb\r\n"},
                      LineCase{"no GBK form", "X", "a😀é€", "X", "a?\xA8\xA6\x80\r\n"},
                      LineCase{"broken UTF-8", "X", "a\xFF\xE4\xB8z", "X", "a???z\r\n"}),
    [](const auto& info) { return CaseName(info.param.name); });

TEST(LogFile, OpenKeepsTheSamePathAndEmptiesAnother) {
    test::TempProgramDir dir("orva-log");
    LogFile& log = LogFile::instance();
    const std::string first = dir.file("orva.log");
    const std::string second = dir.file("second.log");
    test::writeFile(first, "previous run\r\n");
    test::writeFile(second, "previous run\r\n");

    ASSERT_TRUE(log.open(first));
    EXPECT_EQ(test::readFile(first), "") << "a new run starts with an empty log";
    ASSERT_TRUE(log.write("A", "one"));
    ASSERT_TRUE(log.open(first));
    ASSERT_TRUE(log.write("A", "two"));
    const std::string firstBytes = test::readFile(first);
    EXPECT_NE(firstBytes.find("):one\r\n["), std::string::npos);
    EXPECT_NE(firstBytes.find("):two\r\n"), std::string::npos);

    ASSERT_TRUE(log.open(second));
    EXPECT_EQ(log.path(), second);
    EXPECT_EQ(test::readFile(second), "");
    ASSERT_TRUE(log.write("B", "three"));
    EXPECT_EQ(test::readFile(first), firstBytes);
    EXPECT_NE(test::readFile(second).find("):three\r\n"), std::string::npos);
}

TEST(LogFile, FailedOpenKeepsWritingToTheOpenFile) {
    test::TempProgramDir dir("orva-log");
    LogFile& log = LogFile::instance();
    const std::string path = dir.file("orva.log");
    ASSERT_TRUE(log.open(path));
    EXPECT_FALSE(log.open(dir.file("no/such/dir/orva.log")));
    EXPECT_EQ(log.path(), path);
    ASSERT_TRUE(log.write("A", "still here"));
    EXPECT_NE(test::readFile(path).find("):still here\r\n"), std::string::npos);
}

// The program directory may be writable by others: whatever is planted at the log's name is refused like a
// file that cannot be created, the thing it points at stays as it was, and the log open before keeps
// receiving the lines.
TEST(LogFile, PlantedNamesAreRefusedAndLeftAlone) {
    test::TempProgramDir dir("orva-log");
    const std::string victim = dir.file("victim.txt");
    const std::string planted = dir.file("planted.log");
    struct Case {
        const char* name;
        std::function<void()> plant;
    };
    const std::vector<Case> cases = {
        {"symlink to a file", [&] { ASSERT_EQ(symlink(victim.c_str(), planted.c_str()), 0); }},
        {"dangling symlink", [&] { ASSERT_EQ(symlink(dir.file("not-there.txt").c_str(), planted.c_str()), 0); }},
        // Opened for writing without a reader, a FIFO would block the open for ever.
        {"FIFO", [&] { ASSERT_EQ(mkfifo(planted.c_str(), 0666), 0); }},
        {"directory", [&] { ASSERT_TRUE(std::filesystem::create_directory(planted)); }},
    };
    LogFile& log = LogFile::instance();
    const std::string own = dir.file("orva.log");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::writeFile(victim, "keep me\n");
        ASSERT_TRUE(log.open(own));
        c.plant();
        EXPECT_FALSE(log.open(planted));
        EXPECT_EQ(log.path(), own);
        EXPECT_TRUE(log.write("A", c.name));
        EXPECT_NE(test::readFile(own).find(std::string("):") + c.name + "\r\n"), std::string::npos);
        EXPECT_EQ(test::readFile(victim), "keep me\n");
        EXPECT_FALSE(test::fileExists(dir.file("not-there.txt")));
        std::filesystem::remove_all(planted);
    }
}

// Needs a process in which the log was never opened: the death-test child runs only this test.
TEST(LogFileDeathTest, WriteBeforeOpenFailsAndCreatesNothing) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    test::TempProgramDir dir("orva-log");
    EXPECT_EXIT(
        {
            const bool wrote = LogFile::instance().write("SAVE", "lost");
            const bool empty = std::filesystem::is_empty(dir.path() + "res") &&
                               std::distance(std::filesystem::directory_iterator(dir.path()),
                                             std::filesystem::directory_iterator()) == 1;
            std::filesystem::remove_all(dir.path()); // the child's own directory; it never runs destructors
            _exit(!wrote && empty && LogFile::instance().path().empty() ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST(LogFile, ConcurrentWritersNeverShareALine) {
    test::TempProgramDir dir("orva-log");
    LogFile& log = LogFile::instance();
    const std::string path = dir.file("orva.log");
    ASSERT_TRUE(log.open(path));
    constexpr int kThreads = 4;
    constexpr int kLines = 300;
    const std::string filler(120, 'x');
    {
        std::vector<std::jthread> writers;
        for (int t = 0; t < kThreads; ++t)
            writers.emplace_back([&, t] {
                for (int n = 0; n < kLines; ++n)
                    log.write("W" + std::to_string(t), std::to_string(n) + "-上报-" + filler);
            });
    }
    const std::string bytes = test::readFile(path);
    ASSERT_GE(bytes.size(), 2u);
    ASSERT_EQ(bytes.substr(bytes.size() - 2), "\r\n");
    const std::string middle = "-\xC9\xCF\xB1\xA8-" + filler; // "-上报-" in GBK
    std::vector<int> next(kThreads, 0);
    std::size_t pos = 0;
    int count = 0;
    while (pos < bytes.size()) {
        const std::size_t end = bytes.find("\r\n", pos);
        ASSERT_NE(end, std::string::npos);
        const std::string text = bytes.substr(pos, end - pos);
        // [W<t>](<stamp>):<n>-上报-xxx…
        ASSERT_GT(text.size(), 26u) << text;
        ASSERT_EQ(text.substr(0, 2), "[W") << text;
        const int t = text[2] - '0';
        ASSERT_TRUE(t >= 0 && t < kThreads) << text;
        ASSERT_EQ(text.substr(3, 2), "](") << text;
        EXPECT_TRUE(IsStamp(text.substr(5, 19))) << text;
        ASSERT_EQ(text.substr(24, 2), "):") << text;
        const std::size_t dash = text.find('-', 26);
        ASSERT_NE(dash, std::string::npos) << text;
        EXPECT_EQ(text.substr(dash), middle) << text;
        EXPECT_EQ(text.substr(26, dash - 26), std::to_string(next[t]++)) << "each writer's lines stay in order";
        ++count;
        pos = end + 2;
    }
    EXPECT_EQ(count, kThreads * kLines);
}

} // namespace
} // namespace orva

#include "core/protocol/DeviceReply.h"
#include "core/protocol/ReplyFields.h"
#include "core/protocol/ReplyText.h"

#include <gtest/gtest.h>

#include <map>
#include <thread>
#include <vector>

namespace orva {
namespace {

using Fields = std::map<std::string, std::string>;

// U+FFFD, what a control character becomes (a macro, so it joins neighbouring literals).
#define FFFD "\xEF\xBF\xBD"

std::string Repeat(const std::string& text, int n) {
    std::string out;
    for (int i = 0; i < n; ++i)
        out += text;
    return out;
}

struct ParseCase {
    const char* name;
    std::string line;
    std::string separators;
    Fields expected;
};
// Names the case in test listings instead of dumping its bytes.
void PrintTo(const ParseCase& c, std::ostream* os) {
    *os << c.name;
}

class ReplyFieldsTest : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ReplyFieldsTest, SplitsTheLine) {
    const ParseCase& c = GetParam();
    ReplyFields fields;
    ASSERT_TRUE(fields.ParseReplyFields(c.line, c.separators));
    EXPECT_EQ(fields.Fields(), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, ReplyFieldsTest,
    ::testing::Values(
        ParseCase{"Empty", "", " ", {}}, ParseCase{"OnlySeparators", "    ", " ", {}},
        ParseCase{"StatusOnly", "CONNECT_SUCC", " ", {{"STATUS", "CONNECT_SUCC"}}},
        ParseCase{"StatusFieldAndStrayWord", "SUCC A=1 junk", " ", {{"STATUS", "SUCC"}, {"A", "1"}}},
        ParseCase{"RunsOfSeparators", "  SUCC   A=1  B=2  ", " ", {{"STATUS", "SUCC"}, {"A", "1"}, {"B", "2"}}},
        ParseCase{"FirstTokenIsAField", "A=1 SUCC", " ", {{"A", "1"}}},
        ParseCase{"StatusFieldSuppliesTheStatus", "A=1 STATUS=OK", " ", {{"A", "1"}, {"STATUS", "OK"}}},
        ParseCase{"LaterStatusFieldWins", "SUCC STATUS=OK", " ", {{"STATUS", "OK"}}},
        ParseCase{"LaterDuplicateWins", "S A=1 A=2", " ", {{"STATUS", "S"}, {"A", "2"}}},
        ParseCase{"EmptyValue", "S A=", " ", {{"STATUS", "S"}, {"A", ""}}},
        ParseCase{"EmptyNameIgnored", "S =x", " ", {{"STATUS", "S"}}},
        ParseCase{"ValueKeepsLaterEquals", "S A=b=c==", " ", {{"STATUS", "S"}, {"A", "b=c=="}}},
        // Blanks around "=" split the pair into three tokens: only the first can become the status.
        ParseCase{"BlanksAroundEquals", "A = 1", " ", {{"STATUS", "A"}}},
        ParseCase{"TrimsTabsAndLineEnds", "S \tA\t=\r\t1\r\n", " ", {{"STATUS", "S"}, {"A", "1"}}},
        ParseCase{"BlankOnlyNameIgnored", "S \t=1", " ", {{"STATUS", "S"}}},
        // The status word is not trimmed, so a line end after it stays, shown as U+FFFD.
        ParseCase{"StatusKeptUntrimmed", "SUCC\r\n", " ", {{"STATUS", "SUCC" FFFD FFFD}}},
        ParseCase{"CaseSensitiveNames", "S a=1 A=2", " ", {{"STATUS", "S"}, {"a", "1"}, {"A", "2"}}},
        ParseCase{"HighBytesKept", "S SN=\xC0\xFF", " ", {{"STATUS", "S"}, {"SN", "\xC0\xFF"}}},
        ParseCase{"SeveralSeparators", "S,A=1;;B=2", ",;", {{"STATUS", "S"}, {"A", "1"}, {"B", "2"}}},
        // Control characters are replaced after the split and the trim, so they change what
        // is shown, never how the line is parsed.
        ParseCase{"EscapeSequencesInAValue",
                  "S V=\x1b]0;title\x07V1\x1b[2J",
                  " ",
                  {{"STATUS", "S"}, {"V", FFFD "]0;title" FFFD "V1" FFFD "[2J"}}},
        ParseCase{"CrLfInsideAValue",
                  "S V=V1\r\n[SAVE](2026-01-01\t08:00:00):forged",
                  " ",
                  {{"STATUS", "S"}, {"V", "V1" FFFD FFFD "[SAVE](2026-01-01" FFFD "08:00:00):forged"}}},
        ParseCase{"LineEndsAroundAValueStillTrimmed", "S V=\r\nV1\r\n", " ", {{"STATUS", "S"}, {"V", "V1"}}},
        ParseCase{
            "ControlsInNameAndStatus", "OK\x1b[H N\x7f\b=1", " ", {{"STATUS", "OK" FFFD "[H"}, {"N" FFFD FFFD, "1"}}},
        ParseCase{"EveryC0AndDel",
                  std::string("S V=a\x01\x02\x03\x04\x05\x06\x07\x08\t\n\x0b\x0c\r\x0e\x0f\x10\x11\x12\x13"
                              "\x14\x15\x16\x17\x18\x19\x1a\x1b\x1c\x1d\x1e\x1f\x7fz"),
                  " ",
                  {{"STATUS", "S"}, {"V", "a" + Repeat(FFFD, 32) + "z"}}},
        // A tab as separator splits before anything is replaced.
        ParseCase{"ControlSeparatorStillSplits", "S\tA=1\tB=2", "\t", {{"STATUS", "S"}, {"A", "1"}, {"B", "2"}}}),
    [](const auto& info) { return std::string(info.param.name); });

struct ControlCase {
    const char* name;
    std::string text;
    std::string shown;
};

TEST(ReplaceControlCharacters, ReplacesC0AndDelAndNothingElse) {
    const std::vector<ControlCase> cases = {
        {"Plain", "V1.0.3 OK=1", "V1.0.3 OK=1"},
        {"Empty", "", ""},
        {"Nul", std::string("a\0b", 3), "a" FFFD "b"},
        {"TabLfCr", "\t\n\r", FFFD FFFD FFFD},
        {"EscBelDel", "\x1b[2J\x07\x7f", FFFD "[2J" FFFD FFFD},
        // Characters of two, three and four bytes keep every byte, also U+0080..U+009F (a reply byte
        // 0x80..0x9F) and U+007E, the last printable one before DEL.
        {"MultiByteKept", "~\xC2\x80\xC2\x9F\xC3\xA9\xE5\xBC\xA0\xF0\x9F\x98\x80",
         "~\xC2\x80\xC2\x9F\xC3\xA9\xE5\xBC\xA0\xF0\x9F\x98\x80"},
        // Bytes that are no UTF-8 at all are left alone too: this is not a UTF-8 filter.
        {"StrayBytesKept", "\xC0\xFF", "\xC0\xFF"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(ReplaceControlCharacters(c.text), c.shown);
    }
}

TEST(ReplyFieldsLookup, FieldFindsPresentNamesOnlyAndParseStartsAfresh) {
    ReplyFields fields;
    ASSERT_TRUE(fields.ParseReplyFields("S A=1", " "));
    std::string value = "keep";
    EXPECT_FALSE(fields.Field("B", value));
    EXPECT_EQ(value, "keep");
    EXPECT_FALSE(fields.Field("a", value));
    EXPECT_TRUE(fields.Field("A", value));
    EXPECT_EQ(value, "1");

    ASSERT_TRUE(fields.ParseReplyFields("B=2", " "));
    EXPECT_FALSE(fields.Field("A", value));
    EXPECT_FALSE(fields.Field("STATUS", value));
    // Without a separator set nothing can be split.
    EXPECT_FALSE(fields.ParseReplyFields("S A=1", ""));
}

TEST(DeviceReplyTest, FirstValueStaysUntilCleared) {
    DeviceReply reply;
    EXPECT_EQ(reply.Get("RET"), "");
    EXPECT_FALSE(reply.Contains("RET"));
    reply.Put("RET", "SUCC");
    reply.Put("RET", "ERROR");
    reply.Put("EMPTY", "");
    EXPECT_EQ(reply.Get("RET"), "SUCC");
    EXPECT_TRUE(reply.Contains("EMPTY"));
    EXPECT_EQ(reply.Get("ret"), "");

    reply.Clear();
    EXPECT_TRUE(reply.Snapshot().empty());
    reply.Put("RET", "ERROR");
    EXPECT_EQ(reply.Get("RET"), "ERROR");
}

TEST(DeviceReplyTest, PutAndGetFromTwoThreads) {
    DeviceReply reply;
    std::jthread writer([&] {
        for (int i = 0; i < 2000; ++i)
            reply.Put("K" + std::to_string(i), std::to_string(i));
    });
    for (int i = 0; i < 2000; ++i) {
        const std::string v = reply.Get("K" + std::to_string(i));
        EXPECT_TRUE(v.empty() || v == std::to_string(i));
    }
    writer.join();
    EXPECT_EQ(reply.Snapshot().size(), 2000u);
}

} // namespace
} // namespace orva

#include "protocol/DeviceReply.h"
#include "protocol/ReplyFields.h"

#include <gtest/gtest.h>

#include <map>
#include <thread>

namespace orva {
namespace {

using Fields = std::map<std::string, std::string>;

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
    ::testing::Values(ParseCase{"Empty", "", " ", {}}, ParseCase{"OnlySeparators", "    ", " ", {}},
                      ParseCase{"StatusOnly", "CONNECT_SUCC", " ", {{"STATUS", "CONNECT_SUCC"}}},
                      ParseCase{"StatusFieldAndStrayWord", "SUCC A=1 junk", " ", {{"STATUS", "SUCC"}, {"A", "1"}}},
                      ParseCase{
                          "RunsOfSeparators", "  SUCC   A=1  B=2  ", " ", {{"STATUS", "SUCC"}, {"A", "1"}, {"B", "2"}}},
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
                      ParseCase{"StatusKeptUnchanged", "SUCC\r\n", " ", {{"STATUS", "SUCC\r\n"}}},
                      ParseCase{"CaseSensitiveNames", "S a=1 A=2", " ", {{"STATUS", "S"}, {"a", "1"}, {"A", "2"}}},
                      ParseCase{"HighBytesKept", "S SN=\xC0\xFF", " ", {{"STATUS", "S"}, {"SN", "\xC0\xFF"}}},
                      ParseCase{"SeveralSeparators", "S,A=1;;B=2", ",;", {{"STATUS", "S"}, {"A", "1"}, {"B", "2"}}}),
    [](const auto& info) { return std::string(info.param.name); });

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

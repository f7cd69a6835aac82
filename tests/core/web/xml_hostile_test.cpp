// Texts built to make a parser slow or deep: what the parse makes of them (the index and the first
// result record). How long they take is the benchmark's business, never a test's.
#include "core/web/XmlDocument.h"
#include "core/web/XmlOpenNames.h"
#include "core/web/XmlTokenizer.h"
#include "xml_test_util.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>

namespace orva {
namespace {

std::string Repeat(std::string_view unit, std::size_t times) {
    std::string out;
    out.reserve(unit.size() * times);
    for (std::size_t i = 0; i < times; ++i)
        out += unit;
    return out;
}

// Start tags <n0> ... <n{count-1}>, and their end tags innermost first.
std::string NumberedStarts(int count) {
    std::string out;
    for (int i = 0; i < count; ++i)
        out += "<n" + std::to_string(i) + ">";
    return out;
}
std::string NumberedEnds(int count) {
    std::string out;
    for (int i = count; i-- > 0;)
        out += "</n" + std::to_string(i) + ">";
    return out;
}
// End tags that fill `bytes`, their names cycling through `names` made by `nameOf`.
std::string EndTagsOf(std::size_t bytes, int names, const std::function<std::string(int)>& nameOf) {
    std::string out;
    for (int k = 0; out.size() < bytes; ++k)
        out += "</" + nameOf(k % names) + ">";
    return out;
}

constexpr std::size_t kMiB = 1024 * 1024;
const std::size_t kDepth = XmlDocument::kMaxDepth;

struct HostileShape {
    const char* name;
    std::function<std::string()> text;
    bool wellFormed;
    std::uint32_t entries; // index entries, entry 0 included
    int topLevel;          // elements at document level
    int levels;            // depth of the element tree
    int unended;           // elements without end tag
    std::string firstRecord;
};

void PrintTo(const HostileShape& c, std::ostream* os) {
    *os << c.name;
}

struct TreeOutcome {
    int topLevel = 0, levels = 0, unended = 0;
};

TreeOutcome Measure(const XmlDocument& doc) {
    TreeOutcome out;
    std::vector<std::pair<std::uint32_t, int>> todo;
    for (std::uint32_t c = doc.Entry(0).firstChild; c; c = doc.Entry(c).next) {
        ++out.topLevel;
        todo.emplace_back(c, 1);
    }
    while (!todo.empty()) {
        auto [i, level] = todo.back();
        todo.pop_back();
        out.levels = std::max(out.levels, level);
        out.unended += doc.Entry(i).has(ElementEntry::kNoEndTag);
        for (std::uint32_t c = doc.Entry(i).firstChild; c; c = doc.Entry(c).next)
            todo.emplace_back(c, level + 1);
    }
    return out;
}

class HostileShapes : public ::testing::TestWithParam<HostileShape> {};

TEST_P(HostileShapes, ParseOutcome) {
    const HostileShape& c = GetParam();
    const std::string text = c.text();
    XmlDocument doc;
    EXPECT_EQ(doc.Parse(text), c.wellFormed);
    EXPECT_EQ(doc.GetText(), text);
    EXPECT_EQ(doc.EntryCount(), c.entries);
    const TreeOutcome got = Measure(doc);
    EXPECT_EQ(got.topLevel, c.topLevel);
    EXPECT_EQ(got.levels, c.levels);
    EXPECT_EQ(got.unended, c.unended);
    const std::string& log = doc.ResultText();
    EXPECT_EQ(log.substr(0, log.find("\r\n")), c.firstRecord);
    EXPECT_LT(log.size(), 999u + 80u);
    test::ExpectConsistentLinks(doc);
}

INSTANTIATE_TEST_SUITE_P(
    Xml, HostileShapes,
    ::testing::Values(
        // The shape that used to take minutes: start tags, then end tags of another name. The parse
        // stops at the first start tag too deep; the open elements are closed without end tag.
        HostileShape{"start_tags_then_other_end_tags",
                     [] { return Repeat("<a>", 512 * 1024) + Repeat("</b>", 640 * 1024); }, false, kDepth + 1,
                     int(kDepth), 1, int(kDepth), "<nesting_too_deep tagname=\"a\" offset=\"768\"/>"},
        // As deep as allowed, then 4 MiB of end tags that match nothing, then the right ones: the
        // stray end tags change nothing in the tree.
        HostileShape{"lone_end_tags_one_name",
                     [] { return Repeat("<a>", kDepth) + Repeat("</b>", kMiB) + Repeat("</a>", kDepth); }, false,
                     kDepth + 1, 1, int(kDepth), 0, "<lone_end_tag tagname=\"b\" offset=\"768\"/>"},
        HostileShape{"lone_end_tags_never_closed", [] { return Repeat("<a>", kDepth) + Repeat("</b>", kMiB); }, false,
                     kDepth + 1, int(kDepth), 1, int(kDepth), "<lone_end_tag tagname=\"b\" offset=\"768\"/>"},
        // Names match case-sensitively, so an end tag in the other case is lone.
        HostileShape{"other_case_upper",
                     [] { return Repeat("<a>", kDepth) + Repeat("</A>", kMiB) + Repeat("</a>", kDepth); }, false,
                     kDepth + 1, 1, int(kDepth), 0, "<lone_end_tag tagname=\"A\" offset=\"768\"/>"},
        HostileShape{"other_case_lower",
                     [] { return Repeat("<Ab>", kDepth) + Repeat("</aB>", kMiB) + Repeat("</Ab>", kDepth); }, false,
                     kDepth + 1, 1, int(kDepth), 0, "<lone_end_tag tagname=\"aB\" offset=\"1024\"/>"},
        HostileShape{"lone_end_tags_many_names",
                     [] {
                         return NumberedStarts(int(kDepth)) +
                                EndTagsOf(4 * kMiB, 1000, [](int k) { return "m" + std::to_string(k); }) +
                                NumberedEnds(int(kDepth));
                     },
                     false, kDepth + 1, 1, int(kDepth), 0, "<lone_end_tag tagname=\"m0\" offset=\"1426\"/>"},
        // End tags one character longer than an open name, or a prefix followed by a character
        // that does not continue a name: near misses all.
        HostileShape{"lone_end_tags_near_misses",
                     [] {
                         return NumberedStarts(int(kDepth)) +
                                EndTagsOf(4 * kMiB, int(kDepth), [](int k) { return "n" + std::to_string(k) + "x"; }) +
                                NumberedEnds(int(kDepth));
                     },
                     false, kDepth + 1, 1, int(kDepth), 0, "<lone_end_tag tagname=\"n0x\" offset=\"1426\"/>"},
        HostileShape{"lone_end_tags_long_names",
                     [] {
                         const std::string name(1000, 'a');
                         return Repeat("<" + name + "b>", kDepth) + Repeat("</" + name + ">", 4 * kMiB / 1003) +
                                Repeat("</" + name + "b>", kDepth);
                     },
                     false, kDepth + 1, 1, int(kDepth), 0,
                     "<lone_end_tag tagname=\"" + std::string(1000, 'a') + "\" offset=\"256768\"/>"},
        // A long name closed from deep inside: the elements between are closed without end tag.
        HostileShape{"long_name_closed_from_deep",
                     [] {
                         const std::string name(2 * kMiB, 'X');
                         return "<" + name + ">" + Repeat("<a>", kDepth - 1) + "</" + name + ">";
                     },
                     false, kDepth + 1, 1, 2, int(kDepth) - 1,
                     "<unended_start_tag tagname=\"a\" offset=\"2097916\" offset2=\"2097920\"/>"},
        // Markup that ends at a delimiter, in texts full of the delimiter's last character.
        HostileShape{"comment_full_of_gt", [] { return "<a><!--" + Repeat(">", 4 * kMiB) + "--></a>"; }, true, 2, 1, 1,
                     0, ""},
        HostileShape{"comment_unterminated", [] { return "<a><!--" + Repeat("->", 2 * kMiB); }, false, 2, 1, 1, 1,
                     "<unterminated_tag_syntax type=\"comment\" offset=\"3\"/>"},
        HostileShape{"cdata_full_of_gt", [] { return "<a><![CDATA[" + Repeat("]>", 2 * kMiB) + "]]></a>"; }, true, 2, 1,
                     1, 0, ""},
        // The nesting limit.
        HostileShape{"depth_256", [] { return Repeat("<a>", kDepth) + Repeat("</a>", kDepth); }, true, kDepth + 1, 1,
                     int(kDepth), 0, ""},
        HostileShape{"depth_257", [] { return Repeat("<a>", kDepth + 1) + Repeat("</a>", kDepth + 1); }, false,
                     kDepth + 1, int(kDepth), 1, int(kDepth), "<nesting_too_deep tagname=\"a\" offset=\"768\"/>"},
        HostileShape{"depth_257_self_closing", [] { return Repeat("<a>", kDepth) + "<b/>" + Repeat("</a>", kDepth); },
                     false, kDepth + 1, int(kDepth), 1, int(kDepth),
                     "<nesting_too_deep tagname=\"b\" offset=\"768\"/>"},
        HostileShape{"depth_4_mib", [] { return Repeat("<d>", 4 * kMiB / 3); }, false, kDepth + 1, int(kDepth), 1,
                     int(kDepth), "<nesting_too_deep tagname=\"d\" offset=\"768\"/>"},
        // Levels count elements open at the time: siblings and repaired elements do not add up.
        HostileShape{"siblings_do_not_nest", [] { return "<r>" + Repeat("<c/>", 100000) + "</r>"; }, true, 100002, 1, 2,
                     0, ""},
        HostileShape{"repaired_elements_do_not_nest", [] { return "<r>" + Repeat("<a><b></a>", 1000) + "</r>"; }, false,
                     2002, 1, 3, 1000, "<unended_start_tag tagname=\"b\" offset=\"6\" offset2=\"10\"/>"},
        HostileShape{"many_nested_then_closed_4_mib",
                     [] { return Repeat(Repeat("<a>", kDepth) + Repeat("</a>", kDepth), 4 * kMiB / 1792); }, false,
                     std::uint32_t(kDepth*(4 * kMiB / 1792) + 1), int(4 * kMiB / 1792), int(kDepth), 0,
                     "<root_has_sibling/>"}),
    [](const auto& info) { return std::string(info.param.name); });

// After an end tag that matched nothing, the parse counts the open names; these cases check that
// the count answers as the comparison of names does, for the characters that let a shorter end tag
// close a longer name ("=", "[", "]") and those that do not.
struct CountedCase {
    const char* name;
    std::string text;
    std::string records;
    int unended;
};

class CountedNames : public ::testing::TestWithParam<CountedCase> {};

TEST_P(CountedNames, MatchAsNamesCompare) {
    XmlDocument doc;
    EXPECT_FALSE(doc.Parse(GetParam().text));
    EXPECT_EQ(doc.ResultText(), GetParam().records);
    EXPECT_EQ(Measure(doc).unended, GetParam().unended);
    test::ExpectConsistentLinks(doc);
}

INSTANTIATE_TEST_SUITE_P(
    Xml, CountedNames,
    ::testing::Values(
        CountedCase{"bracket_continues", "<r><a[1]><b></z></a></r>",
                    "<lone_end_tag tagname=\"z\" offset=\"12\"/>\r\n"
                    "<unended_start_tag tagname=\"b\" offset=\"9\" offset2=\"17\"/>\r\n",
                    1},
        CountedCase{"equals_continues", "<r><a=1><b></z></a></r>",
                    "<lone_end_tag tagname=\"z\" offset=\"11\"/>\r\n"
                    "<unended_start_tag tagname=\"b\" offset=\"8\" offset2=\"16\"/>\r\n",
                    1},
        CountedCase{"end_name_cut_at_delimiter", "<r><a><b></z></a;x></r>",
                    "<lone_end_tag tagname=\"z\" offset=\"9\"/>\r\n"
                    "<unended_start_tag tagname=\"b\" offset=\"6\" offset2=\"14\"/>\r\n",
                    1},
        CountedCase{"semicolon_does_not_continue", "<r><a;b><c></z></a></r>",
                    "<lone_end_tag tagname=\"z\" offset=\"11\"/>\r\n<lone_end_tag tagname=\"a\" offset=\"15\"/>\r\n"
                    "<unended_start_tag tagname=\"c\" offset=\"8\" offset2=\"20\"/>\r\n"
                    "<unended_start_tag tagname=\"a;b\" offset=\"3\" offset2=\"20\"/>\r\n",
                    2},
        CountedCase{"longer_end_name", "<r><ab><c></z></abc></r>",
                    "<lone_end_tag tagname=\"z\" offset=\"10\"/>\r\n<lone_end_tag tagname=\"abc\" offset=\"14\"/>\r\n"
                    "<unended_start_tag tagname=\"c\" offset=\"7\" offset2=\"21\"/>\r\n"
                    "<unended_start_tag tagname=\"ab\" offset=\"3\" offset2=\"21\"/>\r\n",
                    2},
        CountedCase{"shared_prefixes", "<r><abc><ab><a><x></z></ab></r>",
                    "<lone_end_tag tagname=\"z\" offset=\"18\"/>\r\n"
                    "<unended_start_tag tagname=\"x\" offset=\"15\" offset2=\"23\"/>\r\n"
                    "<unended_start_tag tagname=\"a\" offset=\"12\" offset2=\"23\"/>\r\n"
                    "<unended_start_tag tagname=\"abc\" offset=\"3\" offset2=\"28\"/>\r\n",
                    3},
        CountedCase{"closed_name_no_longer_counts", "<r><a><b></z></a><c></a></r>",
                    "<lone_end_tag tagname=\"z\" offset=\"9\"/>\r\n"
                    "<unended_start_tag tagname=\"b\" offset=\"6\" offset2=\"14\"/>\r\n"
                    "<lone_end_tag tagname=\"a\" offset=\"20\"/>\r\n"
                    "<unended_start_tag tagname=\"c\" offset=\"17\" offset2=\"25\"/>\r\n",
                    2}),
    [](const auto& info) { return std::string(info.param.name); });

// The count of open names against the comparison it stands in for, over random names that share
// prefixes and hold the characters that matter, added and removed in stack order.
TEST(XmlOpenNames, AnswersAsTheComparisonOfNames) {
    const std::string alphabet = "ab[]=;A";
    std::uint32_t seed = 99;
    auto next = [&] {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 16) & 0x7FFF;
    };
    std::string text;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> pool; // names in `text`
    for (int i = 0; i < 400; ++i) {
        const std::uint32_t start = static_cast<std::uint32_t>(text.size());
        const int len = 1 + static_cast<int>(next() % 6);
        for (int k = 0; k < len; ++k)
            text += alphabet[next() % alphabet.size()];
        pool.emplace_back(start, static_cast<std::uint32_t>(len));
    }
    XmlOpenNames names;
    names.reset(text.data());
    std::vector<std::pair<std::uint32_t, std::uint32_t>> open;
    for (int step = 0; step < 20000; ++step) {
        if (open.size() < 40 && (open.empty() || next() % 2)) {
            open.push_back(pool[next() % pool.size()]);
            names.add(open.back().first, open.back().second);
        } else {
            names.remove(open.back().first, open.back().second);
            open.pop_back();
        }
        for (int q = 0; q < 4; ++q) {
            // A whole name of the pool, or a part of one from its start (empty included).
            const auto& [start, len] = pool[next() % pool.size()];
            std::string_view query(text.data() + start, next() % 2 ? len : next() % (len + 1));
            query = query.substr(0, XmlMatchNameLength(query));
            bool expected = false;
            for (const auto& [s, l] : open)
                expected |= XmlNameMatches(query, std::string_view(text.data() + s, l));
            ASSERT_EQ(names.takes(query), expected) << "query " << query << " at step " << step;
        }
    }
}

} // namespace
} // namespace orva

// Parsing: well-formedness, the result records of broken texts, and the index the parser leaves.
#include "core/web/XmlDocument.h"
#include "xml_test_util.h"

#include <gtest/gtest.h>

namespace orva {
namespace {

struct ParseCase {
    const char* name;
    std::string text;
    bool wellFormed;
    std::string records;
};

void PrintTo(const ParseCase& c, std::ostream* os) {
    *os << c.name;
}

class ParseRecords : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ParseRecords, ResultAndRecords) {
    const ParseCase& c = GetParam();
    XmlDocument doc;
    EXPECT_EQ(doc.Parse(c.text), c.wellFormed);
    EXPECT_EQ(doc.IsWellFormed(), c.wellFormed);
    EXPECT_EQ(doc.ResultText(), c.records);
    EXPECT_EQ(doc.GetText(), c.text);
    test::ExpectConsistentLinks(doc);
}

INSTANTIATE_TEST_SUITE_P(
    Xml, ParseRecords,
    ::testing::Values(
        ParseCase{"empty", "", false, ""}, ParseCase{"no_markup", "just text", false, "<no_root_element/>\r\n"},
        ParseCase{"only_comment", "<!-- c -->", false, "<no_root_element/>\r\n"},
        ParseCase{"single_empty", "<a/>", true, ""},
        ParseCase{"declaration_comment_cdata",
                  "<?xml version=\"1.0\"?>\r\n<!-- c --><a x='1' y=\"2>3\"><![CDATA[<b>]]></a>\r\n", true, ""},
        ParseCase{"doctype_with_subset", "<!DOCTYPE a [<!ELEMENT a ANY><!ENTITY e \"x>y\"><!-- n -->]><a/>", true, ""},
        ParseCase{"root_sibling", "<a/><b/>", false, "<root_has_sibling/>\r\n"},
        ParseCase{"unended_inner", "<a><b></a>", false,
                  "<unended_start_tag tagname=\"b\" offset=\"3\" offset2=\"7\"/>\r\n"},
        ParseCase{"lone_end_tag", "<a></b></a>", false, "<lone_end_tag tagname=\"b\" offset=\"3\"/>\r\n"},
        ParseCase{"unended_at_end", "<a>", false, "<unended_start_tag tagname=\"a\" offset=\"0\" offset2=\"3\"/>\r\n"},
        ParseCase{"two_unended_at_end", "<a><b>", false,
                  "<unended_start_tag tagname=\"b\" offset=\"3\" offset2=\"6\"/>\r\n"
                  "<unended_start_tag tagname=\"a\" offset=\"0\" offset2=\"6\"/>\r\n"
                  "<root_has_sibling/>\r\n"},
        ParseCase{"lt_in_text", "<a>1 < 2</a>", false, "<first_tag_syntax offset=\"5\"/>\r\n"},
        ParseCase{"exclamation", "<a><!x></a>", false, "<exclamation_tag_syntax offset=\"3\"/>\r\n"},
        ParseCase{"comment_syntax", "<a><!-x></a>", false, "<comment_tag_syntax offset=\"3\"/>\r\n"},
        ParseCase{"cdata_syntax", "<a><![x></a>", false, "<cdata_section_syntax offset=\"3\"/>\r\n"},
        ParseCase{"doctype_syntax", "<!DOCTYPE a [<!X>]><a/>", false, "<doctype_tag_syntax offset=\"13\"/>\r\n"},
        ParseCase{"unterminated_comment", "<a><!-- x", false,
                  "<unterminated_tag_syntax type=\"comment\" offset=\"3\"/>\r\n"
                  "<unended_start_tag tagname=\"a\" offset=\"0\" offset2=\"9\"/>\r\n"},
        ParseCase{"unterminated_start_tag", "<a b=\"x>", false,
                  "<unterminated_tag_syntax type=\"start_tag\" offset=\"0\"/>\r\n<no_root_element/>\r\n"},
        ParseCase{"unterminated_end_tag", "<a></a", false,
                  "<unterminated_tag_syntax type=\"end_tag\" offset=\"3\"/>\r\n"
                  "<unended_start_tag tagname=\"a\" offset=\"0\" offset2=\"6\"/>\r\n"},
        ParseCase{"unterminated_pi", "<a/><?pi", false,
                  "<unterminated_tag_syntax type=\"processing_instruction\" offset=\"4\"/>\r\n"},
        ParseCase{"unterminated_cdata", "<a/><![CDATA[x", false,
                  "<unterminated_tag_syntax type=\"cdata_section\" offset=\"4\"/>\r\n"},
        ParseCase{"unterminated_doctype", "<!DOCTYPE a", false,
                  "<unterminated_tag_syntax type=\"document_type\" offset=\"0\"/>\r\n<no_root_element/>\r\n"},
        ParseCase{"unterminated_lt", "<a/><", false, "<unterminated_tag_syntax type=\"tag\" offset=\"4\"/>\r\n"},
        ParseCase{"unterminated_lt_bang_dash", "<a/><!-", false,
                  "<unterminated_tag_syntax type=\"tag\" offset=\"4\"/>\r\n"},
        ParseCase{"unterminated_lt_bang_bracket", "<a/><![", false,
                  "<unterminated_tag_syntax type=\"tag\" offset=\"4\"/>\r\n"},
        // Offsets count UTF-16 units: two CJK characters are two units, an emoji is a surrogate pair.
        ParseCase{"offset_after_cjk", "<a>\xE4\xB8\xAD\xE6\x96\x87</b></a>", false,
                  "<lone_end_tag tagname=\"b\" offset=\"5\"/>\r\n"},
        ParseCase{"offset_after_emoji", "<a>\xF0\x9F\x98\x80</b></a>", false,
                  "<lone_end_tag tagname=\"b\" offset=\"5\"/>\r\n"},
        ParseCase{"record_attribute_escaped", "<a></b&\"></a>", false,
                  "<lone_end_tag tagname=\"b&amp;&quot;\" offset=\"3\"/>\r\n"}),
    [](const auto& info) { return std::string(info.param.name); });

// How a start tag ends and whether it closes itself.
struct StartTagCase {
    const char* text;
    bool wellFormed;
    int childrenOfRoot;
};

class StartTags : public ::testing::TestWithParam<StartTagCase> {};

TEST_P(StartTags, EndAndSelfClosing) {
    XmlDocument doc;
    EXPECT_EQ(doc.Parse(GetParam().text), GetParam().wellFormed) << doc.ResultText();
    int n = 0;
    for (std::uint32_t c = doc.Entry(doc.Entry(0).firstChild).firstChild; c; c = doc.Entry(c).next)
        ++n;
    EXPECT_EQ(n, GetParam().childrenOfRoot);
}

INSTANTIATE_TEST_SUITE_P(
    Xml, StartTags,
    ::testing::Values(StartTagCase{"<r><a b=x /></r>", true, 1}, StartTagCase{"<r><a b=\"/>\"/></r>", true, 1},
                      StartTagCase{"<r><a b='x>y'></a></r>", true, 1}, StartTagCase{"<r><a b = \"x>y\"/></r>", true, 1},
                      StartTagCase{"<r><a b=x\"/></r>", true, 1},
                      // Inside an unquoted value "x/" the slash is part of it.
                      StartTagCase{"<r><a href=x/></r>", false, 1}, StartTagCase{"<r><a/ ></r>", false, 1},
                      StartTagCase{"<r>\xE4\xB8\xAD<\xE4\xB8\xAD/></r>", true, 1},
                      StartTagCase{"<r><_x/><:y/></r>", true, 2}));

TEST(XmlParse, RootSiblingIsStillFound) {
    XmlDocument doc;
    EXPECT_FALSE(doc.Parse("<a/><b/>"));
    EXPECT_TRUE(doc.FindElement("b"));
    EXPECT_EQ(doc.GetTagName(), "b");
}

TEST(XmlParse, UnendedElementStaysChildWithoutContent) {
    XmlDocument doc;
    EXPECT_FALSE(doc.Parse("<a><b>text</a>"));
    ASSERT_TRUE(doc.FindElement("a"));
    ASSERT_TRUE(doc.EnterElement());
    ASSERT_TRUE(doc.FindElement("b"));
    EXPECT_EQ(doc.GetElementText(), "");
    const ElementEntry& b = doc.Entry(doc.CursorCurrent());
    EXPECT_TRUE(b.has(ElementEntry::kNoEndTag));
    EXPECT_EQ(b.length, 3u);
    EXPECT_EQ(b.parent, doc.CursorParent());
}

TEST(XmlParse, LoneEndTagLeavesElementClosedByItsOwn) {
    XmlDocument doc;
    EXPECT_FALSE(doc.Parse("<a><x>1</x></b></a>"));
    ASSERT_TRUE(doc.FindElement("a"));
    const ElementEntry& a = doc.Entry(doc.CursorCurrent());
    EXPECT_EQ(a.length, doc.GetText().size());
    EXPECT_FALSE(a.has(ElementEntry::kNoEndTag));
    EXPECT_TRUE(a.has(ElementEntry::kMarkupError));
    ASSERT_TRUE(doc.EnterElement());
    ASSERT_TRUE(doc.FindElement("x"));
    EXPECT_EQ(doc.GetElementText(), "1");
}

TEST(XmlParse, ChildrenOfUnendedElementsMoveOutInOrder) {
    // b and c have no end tag: their children follow them under r, in document order.
    XmlDocument doc;
    EXPECT_FALSE(doc.Parse("<r><b><x/><c><y/><z/></r>"));
    test::ExpectConsistentLinks(doc);
    ASSERT_TRUE(doc.FindElement("r"));
    ASSERT_TRUE(doc.EnterElement());
    std::string order;
    while (doc.FindElement())
        order += doc.GetTagName();
    EXPECT_EQ(order, "bxcyz");
    EXPECT_EQ(doc.ResultText(), "<unended_start_tag tagname=\"c\" offset=\"10\" offset2=\"22\"/>\r\n"
                                "<unended_start_tag tagname=\"b\" offset=\"3\" offset2=\"22\"/>\r\n");
}

TEST(XmlParse, MarkupErrorMarksInnermostOpenElement) {
    XmlDocument doc;
    doc.Parse("<a><b>1 < 2</b><c/></a>");
    ASSERT_TRUE(doc.FindElement("a"));
    EXPECT_FALSE(doc.Entry(doc.CursorCurrent()).has(ElementEntry::kMarkupError));
    doc.EnterElement();
    ASSERT_TRUE(doc.FindElement("b"));
    EXPECT_TRUE(doc.Entry(doc.CursorCurrent()).has(ElementEntry::kMarkupError));
    ASSERT_TRUE(doc.FindElement("c"));
    EXPECT_FALSE(doc.Entry(doc.CursorCurrent()).has(ElementEntry::kMarkupError));
}

TEST(XmlParse, ResultLogStopsGrowingPastItsLimit) {
    std::string text = "<a>";
    for (int i = 0; i < 200; ++i)
        text += "</zz>";
    text += "</a>";
    XmlDocument doc;
    doc.Parse(text);
    const std::string& log = doc.ResultText();
    EXPECT_GT(log.size(), 999u);
    EXPECT_LT(log.size(), 999u + 60u);
    // Every record that made it is whole.
    EXPECT_EQ(log.substr(log.size() - 2), "\r\n");
}

TEST(XmlParse, DeepNestingAndManyElements) {
    // Deep unended nesting must neither recurse nor take quadratic time in moving children.
    std::string deep;
    for (int i = 0; i < 100000; ++i)
        deep += "<d>";
    XmlDocument doc;
    EXPECT_FALSE(doc.Parse(deep));
    // The parse ends at the first element nested deeper than the limit: 256 elements are indexed.
    EXPECT_EQ(doc.EntryCount(), XmlDocument::kMaxDepth + 1);
    std::string wide = "<r>";
    for (int i = 0; i < 200000; ++i)
        wide += "<e>" + std::to_string(i) + "</e>\r\n";
    wide += "</r>";
    EXPECT_TRUE(doc.Parse(wide));
    EXPECT_EQ(doc.EntryCount(), 200002u);
    test::ExpectConsistentLinks(doc);
    doc.FindElement("r");
    doc.EnterElement();
    for (int i = 0; i < 70000; ++i)
        ASSERT_TRUE(doc.FindElement("e"));
    EXPECT_EQ(doc.GetElementText(), "69999");
}

TEST(XmlParse, ParseReplacesEverything) {
    XmlDocument doc;
    doc.Parse("<a></b></a>");
    doc.FindElement("a");
    EXPECT_TRUE(doc.Parse("<c/>"));
    EXPECT_EQ(doc.ResultText(), "");
    EXPECT_EQ(doc.CursorCurrent(), 0u);
    EXPECT_EQ(doc.EntryCount(), 2u);
    EXPECT_FALSE(doc.FindElement("a"));
    EXPECT_TRUE(doc.FindElement("c"));
}

} // namespace
} // namespace orva

namespace orva {
namespace {

// Random fragments of markup: whatever the parser makes of them, the index must hold together,
// every element's text must be readable, and building on top must keep it together.
TEST(XmlParse, RandomMarkupKeepsIndexConsistent) {
    const std::string alphabet = "<<<>>//!-[]CD?=\"' ab\r\n&;x";
    std::uint32_t seed = 12345;
    auto next = [&] {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 16) & 0x7FFF;
    };
    for (int round = 0; round < 3000; ++round) {
        std::string text;
        const int len = static_cast<int>(next() % 48);
        for (int i = 0; i < len; ++i)
            text += alphabet[next() % alphabet.size()];
        XmlDocument doc;
        doc.Parse(text);
        test::ExpectConsistentLinks(doc);
        for (std::uint32_t i = 1; i < doc.EntryCount(); ++i) {
            const ElementEntry& e = doc.Entry(i);
            ASSERT_LE(e.startTagLength, e.length) << text;
        }
        // Visit every element, read it, and add a child to the first one found.
        bool added = false;
        std::vector<int> depthStack{0};
        doc.ResetPosition();
        for (int steps = 0; steps < 200; ++steps) {
            if (doc.FindElement()) {
                doc.GetElementText();
                doc.GetAttribute("a");
                if (!added) {
                    added = doc.AddChildElement("n", "v&<");
                    ASSERT_TRUE(added) << text;
                    test::ExpectConsistentLinks(doc);
                    ASSERT_TRUE(doc.SetAttribute("k", "1")) << text;
                    test::ExpectConsistentLinks(doc);
                }
                doc.EnterElement();
            } else if (!doc.LeaveElement()) {
                break;
            }
        }
        if (::testing::Test::HasFailure()) {
            ADD_FAILURE() << "text: " << text;
            break;
        }
    }
}

} // namespace
} // namespace orva

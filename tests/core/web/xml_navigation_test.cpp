// Navigation: the cursor rules, element name matching and element texts.
#include "core/web/XmlDocument.h"

#include <gtest/gtest.h>

namespace orva {
namespace {

struct MatchCase {
    const char* text;
    const char* name;
    bool found;
};

class NameMatching : public ::testing::TestWithParam<MatchCase> {};

TEST_P(NameMatching, FindElementAtDocumentLevel) {
    XmlDocument doc;
    doc.Parse(GetParam().text);
    EXPECT_EQ(doc.FindElement(GetParam().name), GetParam().found) << GetParam().text << " / " << GetParam().name;
}

INSTANTIATE_TEST_SUITE_P(Xml, NameMatching,
                         ::testing::Values(MatchCase{"<Login/>", "Login", true}, MatchCase{"<Login/>", "Log", false},
                                           MatchCase{"<login/>", "Login", false}, MatchCase{"<Log/>", "Login", false},
                                           MatchCase{"<Log/>", "Log attr", true}, MatchCase{"<Log/>", "Log=1", true},
                                           MatchCase{"<Log/>", "Log[1]", true}, MatchCase{"<Log/>", "Log]", true},
                                           MatchCase{"<Log/>", "Log/x", true}, MatchCase{"<Log/>", "Log.x", false},
                                           MatchCase{"<a:b x='1'/>", "a:b", true}, MatchCase{"<a;b/>", "a", true},
                                           MatchCase{"<a?/>", "a", true}, MatchCase{"<x/>", "/x", false},
                                           MatchCase{"<x/>", "", true},
                                           MatchCase{"<\xE7\x94\xA8\xE6\x88\xB7/>", "\xE7\x94\xA8\xE6\x88\xB7", true}));

TEST(XmlNavigation, FindElementWalksSiblingsAndStaysOnTheLast) {
    XmlDocument doc;
    doc.Parse("<r><X>1</X><Y/><X>2</X></r>");
    ASSERT_TRUE(doc.FindElement("r"));
    ASSERT_TRUE(doc.EnterElement());
    ASSERT_TRUE(doc.FindElement("X"));
    EXPECT_EQ(doc.GetElementText(), "1");
    ASSERT_TRUE(doc.FindElement("X"));
    EXPECT_EQ(doc.GetElementText(), "2");
    const std::uint32_t last = doc.CursorCurrent();
    EXPECT_FALSE(doc.FindElement("X"));
    EXPECT_EQ(doc.CursorCurrent(), last);
    EXPECT_EQ(doc.GetElementText(), "2");
}

TEST(XmlNavigation, CursorRules) {
    XmlDocument doc;
    doc.Parse("<r><a><b/></a><c/></r>");
    EXPECT_FALSE(doc.EnterElement()); // nothing current
    EXPECT_FALSE(doc.LeaveElement()); // at document level
    ASSERT_TRUE(doc.FindElement("r"));
    const std::uint32_t r = doc.CursorCurrent();
    ASSERT_TRUE(doc.EnterElement());
    EXPECT_EQ(doc.CursorParent(), r);
    EXPECT_EQ(doc.CursorCurrent(), 0u); // after FindElement nothing is current inside
    ASSERT_TRUE(doc.FindElement("a"));
    const std::uint32_t a = doc.CursorCurrent();
    ASSERT_TRUE(doc.EnterElement());
    ASSERT_TRUE(doc.FindElement("b"));
    const std::uint32_t b = doc.CursorCurrent();
    ASSERT_TRUE(doc.LeaveElement());
    EXPECT_EQ(doc.CursorParent(), r);
    EXPECT_EQ(doc.CursorCurrent(), a);
    EXPECT_EQ(doc.CursorChild(), b);
    // Entering again makes the remembered child current.
    ASSERT_TRUE(doc.EnterElement());
    EXPECT_EQ(doc.CursorCurrent(), b);
    ASSERT_TRUE(doc.LeaveElement());
    ASSERT_TRUE(doc.FindElement("c")); // siblings after a
    ASSERT_TRUE(doc.LeaveElement());
    EXPECT_EQ(doc.CursorParent(), 0u);
    EXPECT_EQ(doc.CursorCurrent(), r);
    doc.ResetPosition();
    EXPECT_EQ(doc.CursorCurrent(), 0u);
    EXPECT_TRUE(doc.FindElement("r"));
    // Reading does not move the cursor.
    doc.GetElementText();
    doc.GetText();
    EXPECT_EQ(doc.CursorCurrent(), r);
}

TEST(XmlNavigation, FindElementMissKeepsCursor) {
    XmlDocument doc;
    doc.Parse("<r><a/></r>");
    doc.FindElement("r");
    doc.EnterElement();
    EXPECT_FALSE(doc.FindElement("zz"));
    EXPECT_EQ(doc.CursorCurrent(), 0u);
    EXPECT_TRUE(doc.FindElement("a"));
}

struct TextCase {
    const char* text;
    std::string expected;
};

class ElementText : public ::testing::TestWithParam<TextCase> {};

TEST_P(ElementText, OfTheRootElement) {
    XmlDocument doc;
    doc.Parse(GetParam().text);
    ASSERT_TRUE(doc.FindElement());
    EXPECT_EQ(doc.GetElementText(), GetParam().expected) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    Xml, ElementText,
    ::testing::Values(TextCase{"<v>a &amp; b</v>", "a & b"}, TextCase{"<v>&#x4E2D;</v>", "\xE4\xB8\xAD"},
                      TextCase{"<v>&eacute;</v>", "\xC3\xA9"}, TextCase{"<v>&Eacute;</v>", "\xC3\x89"},
                      TextCase{"<v>&bogus;</v>", "&bogus;"}, TextCase{"<v/>", ""}, TextCase{"<v></v>", ""},
                      TextCase{"<v>x<w/></v>", ""}, TextCase{"<v>1 &lt; 2</v>", "1 < 2"},
                      TextCase{"<v>\r\n  line\r\n</v>", "\r\n  line\r\n"},
                      TextCase{"<v>x<![CDATA[<y&amp;>]]>z</v>", "x<y&amp;>z"},
                      TextCase{"<v>a<!-- c -->b<?p?>c</v>", "abc"}, TextCase{"<v> <![CDATA[x]]> </v>", "x"},
                      TextCase{"<v>a&gt; b &amp;<!--c--></v>", "a> b &"},
                      TextCase{"<v attr=\"1\">&#128512;</v >", "\xF0\x9F\x98\x80"},
                      // A damaged CDATA opener is still nine characters long, however many bytes they take.
                      TextCase{"<v><![CD<AT\xEF\xBB\xBFSof<b]]></v>", "Sof<b"},
                      TextCase{"<v><![C\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9x]]></v>", "x"},
                      TextCase{"<v><![C\xE2\x82\xAC\xE2\x82\xAC]]></v>", ""},
                      TextCase{"<v><![C\xF0\x9F\x98\x80\xF0\x9F\x98\x80"
                               "ab]]></v>",
                               "b"},
                      TextCase{"<v><![CDATA[\xE4\xB8\xAD]]></v>", "\xE4\xB8\xAD"}));

TEST(XmlNavigation, NoCurrentElementGivesEmptyText) {
    XmlDocument doc;
    doc.Parse("<v>x</v>");
    EXPECT_EQ(doc.GetElementText(), "");
    EXPECT_EQ(doc.GetTagName(), "");
}

TEST(XmlNavigation, Attributes) {
    XmlDocument doc;
    doc.Parse("<a b='1' c=2 d=\"x&amp;&quot;y\" e>t</a>");
    ASSERT_TRUE(doc.FindElement("a"));
    EXPECT_EQ(doc.GetAttribute("b"), "1");
    EXPECT_EQ(doc.GetAttribute("c"), "2");
    EXPECT_EQ(doc.GetAttribute("d"), "x&\"y");
    EXPECT_EQ(doc.GetAttribute("e"), "");
    EXPECT_EQ(doc.GetAttribute("zz"), "");
    EXPECT_EQ(doc.GetElementText(), "t");
}

} // namespace
} // namespace orva

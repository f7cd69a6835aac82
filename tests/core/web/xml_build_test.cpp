// Building documents: the exact text of insertions, the two documents the services receive, and an
// index that always matches a fresh parse of the text.
#include "core/web/XmlDocument.h"
#include "xml_test_util.h"

#include <gtest/gtest.h>

#include <vector>

namespace orva {
namespace {

std::string Lines(std::initializer_list<const char*> lines) {
    std::string out;
    for (const char* l : lines)
        out.append(l).append("\r\n");
    return out;
}

TEST(XmlBuild, ChildElementsWithTextAndInteger) {
    XmlDocument doc;
    ASSERT_TRUE(doc.AddElement("A"));
    EXPECT_EQ(doc.GetText(), "<A/>\r\n");
    EXPECT_TRUE(doc.IsWellFormed());
    ASSERT_TRUE(doc.AddChildElement("B", "x<y"));
    ASSERT_TRUE(doc.AddChildElement("C", 5));
    EXPECT_EQ(doc.GetText(), Lines({"<A>", "<B>x&lt;y</B>", "<C>5</C>", "</A>"}));
    EXPECT_TRUE(doc.IsWellFormed());
    test::ExpectIndexMatchesReparse(doc);
}

TEST(XmlBuild, LoginRequest) {
    XmlDocument doc;
    ASSERT_TRUE(doc.AddElement("SoftWareLogin"));
    EXPECT_EQ(doc.GetText(), "<SoftWareLogin/>\r\n");
    ASSERT_TRUE(doc.AddChildElement("CurrentSoftWareVersion", "11-2.2-33333333"));
    EXPECT_EQ(doc.GetText(),
              Lines({"<SoftWareLogin>", "<CurrentSoftWareVersion>11-2.2-33333333</CurrentSoftWareVersion>",
                     "</SoftWareLogin>"}));
    ASSERT_TRUE(doc.AddChildElement("UserName", "a<b&\"\xE5\xBC\xA0"));
    ASSERT_TRUE(doc.AddChildElement("UserPassWD", "p>w"));
    EXPECT_EQ(doc.GetText(),
              Lines({"<SoftWareLogin>", "<CurrentSoftWareVersion>11-2.2-33333333</CurrentSoftWareVersion>",
                     "<UserName>a&lt;b&amp;\"\xE5\xBC\xA0</UserName>", "<UserPassWD>p&gt;w</UserPassWD>",
                     "</SoftWareLogin>"}));
    test::ExpectIndexMatchesReparse(doc);
    // And the values read back as they were given.
    XmlDocument reply;
    EXPECT_TRUE(reply.Parse(doc.GetText()));
    reply.FindElement("SoftWareLogin");
    reply.EnterElement();
    reply.FindElement("UserName");
    EXPECT_EQ(reply.GetElementText(), "a<b&\"\xE5\xBC\xA0");
}

// The report document, built in the order the result upload builds it.
TEST(XmlBuild, ReportDocument) {
    XmlDocument doc;
    ASSERT_TRUE(doc.AddElement("DeviceList"));
    ASSERT_TRUE(doc.AddChildElement("DeviceDiag"));
    ASSERT_TRUE(doc.EnterElement());
    doc.AddChildElement("Operator", "\xE6\x9D\x8E\xE5\x9B\x9B O'Neil");
    doc.AddChildElement("SN", "SN<1>");
    doc.AddChildElement("DeviceType", "HG260");
    doc.AddChildElement("CheckDate", "2024-05-06 07:08:09");
    doc.AddChildElement("HardWareDiag");
    ASSERT_TRUE(doc.EnterElement());
    for (const char* item : {"FE1Check", "FE2Check", "FE3Check", "FE4Check", "POS1Check", "POS2Check", "PONCheck",
                             "FlashCheck", "LEDCheck", "USBCheck", "WifiCheck"})
        doc.AddChildElement(item, std::string(item) == "PONCheck" ? 0 : (std::string(item) == "WifiCheck" ? 9 : 1));
    ASSERT_TRUE(doc.LeaveElement());
    doc.AddChildElement("SoftWareDiag");
    ASSERT_TRUE(doc.EnterElement());
    doc.AddChildElement("SoftWareVersionCheck", "");
    doc.AddChildElement("MAC", "00-11-22-33-44-55");
    doc.AddChildElement("PSCheck", "ok & running");
    doc.AddChildElement("CPULoadCheck", 12);
    doc.AddChildElement("MemCheck", 99);
    doc.AddChildElement("PreConfigCheck", 1);
    doc.AddChildElement("DiskIntegrityCheck", -1);
    ASSERT_TRUE(doc.LeaveElement());
    ASSERT_TRUE(doc.LeaveElement());
    EXPECT_FALSE(doc.LeaveElement());
    EXPECT_EQ(doc.GetText(), Lines({"<DeviceList>",
                                    "<DeviceDiag>",
                                    "<Operator>\xE6\x9D\x8E\xE5\x9B\x9B O'Neil</Operator>",
                                    "<SN>SN&lt;1&gt;</SN>",
                                    "<DeviceType>HG260</DeviceType>",
                                    "<CheckDate>2024-05-06 07:08:09</CheckDate>",
                                    "<HardWareDiag>",
                                    "<FE1Check>1</FE1Check>",
                                    "<FE2Check>1</FE2Check>",
                                    "<FE3Check>1</FE3Check>",
                                    "<FE4Check>1</FE4Check>",
                                    "<POS1Check>1</POS1Check>",
                                    "<POS2Check>1</POS2Check>",
                                    "<PONCheck>0</PONCheck>",
                                    "<FlashCheck>1</FlashCheck>",
                                    "<LEDCheck>1</LEDCheck>",
                                    "<USBCheck>1</USBCheck>",
                                    "<WifiCheck>9</WifiCheck>",
                                    "</HardWareDiag>",
                                    "<SoftWareDiag>",
                                    "<SoftWareVersionCheck/>",
                                    "<MAC>00-11-22-33-44-55</MAC>",
                                    "<PSCheck>ok &amp; running</PSCheck>",
                                    "<CPULoadCheck>12</CPULoadCheck>",
                                    "<MemCheck>99</MemCheck>",
                                    "<PreConfigCheck>1</PreConfigCheck>",
                                    "<DiskIntegrityCheck>-1</DiskIntegrityCheck>",
                                    "</SoftWareDiag>",
                                    "</DeviceDiag>",
                                    "</DeviceList>"}));
    EXPECT_TRUE(doc.IsWellFormed());
    test::ExpectIndexMatchesReparse(doc);
}

TEST(XmlBuild, RefusedInsertionsChangeNothing) {
    XmlDocument doc;
    EXPECT_FALSE(doc.AddChildElement("B", "x")); // nothing current
    EXPECT_EQ(doc.GetText(), "");
    for (const char* bad : {"", "a b", "1a", "a/b", "a>b", "-x", "a=b"})
        EXPECT_FALSE(doc.AddElement(bad)) << bad;
    EXPECT_FALSE(doc.AddElement("a", "v", XmlDocument::AddNoEndTag));
    EXPECT_EQ(doc.GetText(), "");
    EXPECT_EQ(doc.EntryCount(), 1u);
}

TEST(XmlBuild, ValueQuotesStayAsTheyAre) {
    XmlDocument doc;
    doc.AddElement("q", "say \"hi\" it's");
    EXPECT_EQ(doc.GetText(), "<q>say \"hi\" it's</q>\r\n");
}

TEST(XmlBuild, SecondTopLevelElementIsARootSibling) {
    XmlDocument doc;
    doc.AddElement("a");
    EXPECT_TRUE(doc.IsWellFormed());
    doc.AddElement("b");
    EXPECT_EQ(doc.GetText(), "<a/>\r\n<b/>\r\n");
    EXPECT_FALSE(doc.IsWellFormed());
}

// Insertions into parsed documents: where the markup lands, and an index that matches a reparse.
struct EditCase {
    const char* name;
    std::string text;
    std::vector<std::string> path; // FindElement/EnterElement steps; "+" enters
    bool child;                    // AddChildElement instead of AddElement
    const char* add;
    const char* value;
    std::string expected;
};

void PrintTo(const EditCase& c, std::ostream* os) {
    *os << c.name;
}

class Edits : public ::testing::TestWithParam<EditCase> {};

TEST_P(Edits, LandWhereExpected) {
    const EditCase& c = GetParam();
    XmlDocument doc;
    doc.Parse(c.text);
    for (const std::string& step : c.path) {
        if (step == "+")
            ASSERT_TRUE(doc.EnterElement());
        else
            ASSERT_TRUE(doc.FindElement(step)) << step;
    }
    if (c.child)
        ASSERT_TRUE(doc.AddChildElement(c.add, c.value));
    else
        ASSERT_TRUE(doc.AddElement(c.add, c.value));
    EXPECT_EQ(doc.GetText(), c.expected);
    if (!c.child) {
        EXPECT_EQ(doc.GetTagName(), c.add);
    }
    test::ExpectIndexMatchesReparse(doc);
}

INSTANTIATE_TEST_SUITE_P(
    Xml, Edits,
    ::testing::Values(
        EditCase{
            "after_sibling_tight", "<r><a/><b/></r>", {"r", "+", "a"}, false, "x", "1", "<r><a/><x>1</x>\r\n<b/></r>"},
        EditCase{"after_sibling_on_next_line",
                 "<r>\r\n  <a/>\r\n  <b/>\r\n</r>",
                 {"r", "+", "a"},
                 false,
                 "x",
                 "",
                 "<r>\r\n  <a/>\r\n  <x/>\r\n<b/>\r\n</r>"},
        EditCase{"last_child_before_end_tag", "<r><a/>\r\n</r>", {"r"}, true, "x", "", "<r><a/>\r\n<x/>\r\n</r>"},
        EditCase{"nothing_current_inside", "<r><a/>\r\n</r>", {"r", "+"}, false, "x", "", "<r><a/>\r\n<x/>\r\n</r>"},
        EditCase{"into_empty_pair", "<r></r>", {"r"}, true, "x", "v", "<r>\r\n<x>v</x>\r\n</r>"},
        EditCase{
            "into_self_closing_with_attribute", "<r a=\"1\" />", {"r"}, true, "x", "", "<r a=\"1\" >\r\n<x/>\r\n</r>"},
        EditCase{"into_text_content", "<r>t</r>", {"r"}, true, "x", "", "<r>t<x/>\r\n</r>"},
        EditCase{"into_unended_element", "<r><a></r>", {"r", "+", "a"}, true, "x", "", "<r><a>\r\n<x/>\r\n</a></r>"},
        EditCase{"shifts_following_and_grows_ancestors",
                 "<r><p><a/></p><q><c>1</c></q></r>",
                 {"r", "+", "p", "+", "a"},
                 false,
                 "x",
                 "2",
                 "<r><p><a/><x>2</x>\r\n</p><q><c>1</c></q></r>"},
        EditCase{"document_level_appends_at_end", "<a/>", {}, false, "b", "", "<a/><b/>\r\n"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(XmlBuild, InsertedChildBecomesCursorChild) {
    XmlDocument doc;
    doc.Parse("<r><a/><b/></r>");
    doc.FindElement("r");
    doc.EnterElement();
    doc.FindElement("a");
    const std::uint32_t a = doc.CursorCurrent();
    doc.AddChildElement("x");
    EXPECT_EQ(doc.CursorCurrent(), a);
    doc.AddChildElement("y"); // after x
    ASSERT_TRUE(doc.EnterElement());
    EXPECT_EQ(doc.GetTagName(), "y");
    EXPECT_EQ(doc.GetText(), "<r><a>\r\n<x/>\r\n<y/>\r\n</a><b/></r>");
    test::ExpectIndexMatchesReparse(doc);
}

TEST(XmlBuild, ManyInsertionsKeepTheIndexRight) {
    // Inserting near the front of a large parsed document walks everything behind it.
    std::string text = "<r>";
    for (int i = 0; i < 300; ++i)
        text += "<g><e>" + std::to_string(i) + "</e></g>";
    text += "</r>";
    XmlDocument doc;
    doc.Parse(text);
    doc.FindElement("r");
    doc.EnterElement();
    doc.FindElement("g");
    for (int i = 0; i < 50; ++i) {
        ASSERT_TRUE(doc.AddChildElement("n", i));
        ASSERT_TRUE(doc.AddElement("s", "v"));
        ASSERT_TRUE(doc.FindElement("g"));
    }
    test::ExpectIndexMatchesReparse(doc);
}

TEST(XmlBuild, Options) {
    struct Case {
        unsigned flags;
        const char* value;
        const char* expected;
    };
    for (const Case& c : {
             Case{XmlDocument::AddCData, "a]]>b<", "<v><![CDATA[a]]]]><![CDATA[>b<]]></v>\r\n"},
             Case{XmlDocument::AddNoLineBreak, "1", "<v>1</v>"},
             Case{XmlDocument::AddXhtmlSpace, "", "<v />\r\n"},
             Case{XmlDocument::AddNoEndTag, "", "<v>\r\n"},
             Case{XmlDocument::AddKeepReferences, "&lt; & &#65;", "<v>&lt; &amp; &#65;</v>\r\n"},
         }) {
        XmlDocument doc;
        ASSERT_TRUE(doc.AddElement("v", c.value, c.flags));
        EXPECT_EQ(doc.GetText(), c.expected);
    }
    XmlDocument doc;
    doc.AddElement("v", "a]]>b<", XmlDocument::AddCData);
    EXPECT_EQ(doc.GetElementText(), "a]]>b<");
}

TEST(XmlBuild, SetAttribute) {
    XmlDocument doc;
    doc.Parse("<r><a/><b c='1' d=2>t<e/></b><f/></r>");
    doc.FindElement("r");
    doc.EnterElement();
    doc.FindElement("a");
    ASSERT_TRUE(doc.SetAttribute("k", "x\"<'&"));
    EXPECT_EQ(doc.GetAttribute("k"), "x\"<'&");
    doc.FindElement("b");
    ASSERT_TRUE(doc.SetAttribute("c", "long value"));
    ASSERT_TRUE(doc.SetAttribute("d", ""));
    EXPECT_EQ(doc.GetText(), "<r><a k=\"x&quot;&lt;&apos;&amp;\"/><b c=\"long value\" d=\"\">t<e/></b><f/></r>");
    test::ExpectIndexMatchesReparse(doc);
    XmlDocument empty;
    EXPECT_FALSE(empty.SetAttribute("k", "v"));
}

} // namespace
} // namespace orva

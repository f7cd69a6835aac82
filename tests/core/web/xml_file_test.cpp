// Files: decoding on load, encoding on save, and the file errors.
#include "TestSupport.h"
#include "core/web/XmlDocument.h"

#include <gtest/gtest.h>

namespace orva {
namespace {

using test::readFile;
using test::writeFile;

std::string Utf16(const std::u16string& s, bool bigEndian) {
    std::string out;
    for (char16_t u : s) {
        char hi = static_cast<char>(u >> 8), lo = static_cast<char>(u & 0xFF);
        out += bigEndian ? hi : lo;
        out += bigEndian ? lo : hi;
    }
    return out;
}

const std::string kZhongWen = "\xE4\xB8\xAD\xE6\x96\x87"; // 中文 in UTF-8
const std::string kZhongWenGbk = "\xD6\xD0\xCE\xC4";      // the same in GBK

struct LoadCase {
    const char* name;
    std::string bytes;
    std::string text;
    std::uint32_t flags;
    bool wellFormed;
    const char* record; // a record the result log must hold, or ""
    bool roundTrips;    // SaveFile writes the same bytes back
};

void PrintTo(const LoadCase& c, std::ostream* os) {
    *os << c.name;
}

class Load : public ::testing::TestWithParam<LoadCase> {
protected:
    test::TempProgramDir dir{"xml"};
};

TEST_P(Load, DecodesAndSavesBack) {
    const LoadCase& c = GetParam();
    const std::string path = dir.file("in.xml");
    writeFile(path, c.bytes);
    XmlDocument doc;
    EXPECT_EQ(doc.LoadFile(path), c.wellFormed) << doc.ResultText();
    EXPECT_EQ(doc.GetText(), c.text);
    EXPECT_EQ(doc.DocumentFlags(), c.flags);
    EXPECT_NE(doc.ResultText().find(c.record), std::string::npos) << doc.ResultText();
    ASSERT_TRUE(doc.SaveFile(dir.file("out.xml"))) << doc.ResultText();
    if (c.roundTrips) {
        EXPECT_EQ(readFile(dir.file("out.xml")), c.bytes);
    }
    // Whatever was written loads again to the same text.
    XmlDocument again;
    again.LoadFile(dir.file("out.xml"));
    EXPECT_EQ(again.GetText(), c.text);
}

const std::u16string kUtf16Doc = u"<a>\u4E2D\u6587\U0001F600</a>";
const std::string kUtf16DocText = "<a>" + kZhongWen + "\xF0\x9F\x98\x80</a>";

INSTANTIATE_TEST_SUITE_P(
    Xml, Load,
    ::testing::Values(
        LoadCase{"utf8_without_bom", "<a>" + kZhongWen + "</a>", "<a>" + kZhongWen + "</a>", 0, true, "", true},
        LoadCase{"utf8_with_bom", "\xEF\xBB\xBF<a>" + kZhongWen + "</a>", "<a>" + kZhongWen + "</a>",
                 XmlDocument::DocUtf8Preamble, true, "<bom encoding=\"UTF-8\"/>", true},
        LoadCase{"utf16le_bom", "\xFF\xFE" + Utf16(kUtf16Doc, false), kUtf16DocText, XmlDocument::DocUtf16LE, true,
                 "<bom encoding=\"UTF-16LE\"/>", true},
        LoadCase{"utf16be_bom", "\xFE\xFF" + Utf16(kUtf16Doc, true), kUtf16DocText, XmlDocument::DocUtf16BE, true,
                 "<endian_swap/>", true},
        LoadCase{"utf16le_declared_without_bom",
                 Utf16(u"<?xml version=\"1.0\" encoding=\"UTF-16\"?><a>\u4E2D</a>", false),
                 "<?xml version=\"1.0\" encoding=\"UTF-16\"?><a>\xE4\xB8\xAD</a>", 0, true, "", true},
        LoadCase{"gbk_declared", "<?xml version=\"1.0\" encoding=\"GBK\"?>\r\n<a>" + kZhongWenGbk + "</a>\r\n",
                 "<?xml version=\"1.0\" encoding=\"GBK\"?>\r\n<a>" + kZhongWen + "</a>\r\n", 0, true,
                 "<converted_to from=\"GBK\"", true},
        LoadCase{"gb2312_declared", "<?xml version='1.0' encoding='gb2312'?><a>" + kZhongWenGbk + "</a>",
                 "<?xml version='1.0' encoding='gb2312'?><a>" + kZhongWen + "</a>", 0, true, "", true},
        LoadCase{"html_meta_charset",
                 "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=gbk\"/></head><body>" +
                     kZhongWenGbk + "</body></html>",
                 "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=gbk\"/></head><body>" +
                     kZhongWen + "</body></html>",
                 0, true, "", true},
        // No mark, no declaration, not starting with "<": valid UTF-8 is taken as UTF-8, else GBK.
        LoadCase{"detected_utf8", "\r\n<a>" + kZhongWen + "</a>", "\r\n<a>" + kZhongWen + "</a>", 0, true,
                 "<utf8_detection encoding=\"UTF-8\"/>", true},
        LoadCase{"detected_ansi", "\r\n<a>" + kZhongWenGbk + "</a>", "\r\n<a>" + kZhongWen + "</a>", 0, true,
                 "<utf8_detection encoding=\"GBK\"/>", false},
        LoadCase{"nul_bytes_removed", std::string("<a>x\0y</a>", 10), "<a>xy</a>", 0, true,
                 "<nulls_removed count=\"1\"/>", false},
        LoadCase{"invalid_utf8_replaced", "<a>x\xFFy</a>", "<a>x?y</a>", 0, true, "<conversion_loss count=\"1\"/>",
                 false},
        LoadCase{"not_well_formed_still_loaded", "<a><b></a>", "<a><b></a>", 0, false, "<unended_start_tag", true},
        LoadCase{"empty_file", "", "", 0, false, "<read bytes=\"0\"/>", true}),
    [](const auto& info) { return std::string(info.param.name); });

class Files : public ::testing::Test {
protected:
    test::TempProgramDir dir{"xml"};
};

TEST_F(Files, MissingFileIsAFileError) {
    XmlDocument doc;
    doc.Parse("<old/>");
    EXPECT_FALSE(doc.LoadFile(dir.file("missing.xml")));
    EXPECT_EQ(doc.ResultText(), "<file_error msg=\"No such file or directory\" n=\"2\"/>\r\n");
    EXPECT_EQ(doc.GetText(), "");
    EXPECT_EQ(doc.EntryCount(), 1u);
    EXPECT_FALSE(doc.FindElement("old"));
}

TEST_F(Files, UnwritablePathIsAFileError) {
    XmlDocument doc;
    doc.AddElement("a");
    EXPECT_FALSE(doc.SaveFile(dir.file("no/such/dir/out.xml")));
    EXPECT_EQ(doc.ResultText(), "<file_error msg=\"No such file or directory\" n=\"2\"/>\r\n");
}

TEST_F(Files, BuiltDocumentSavesAsUtf8WithoutMark) {
    XmlDocument doc;
    doc.AddElement("Login");
    doc.AddChildElement("N0123", "\xE5\xAF\x86");
    ASSERT_TRUE(doc.SaveFile(dir.file("login.xml")));
    EXPECT_EQ(readFile(dir.file("login.xml")), "<Login>\r\n<N0123>\xE5\xAF\x86</N0123>\r\n</Login>\r\n");
}

TEST_F(Files, EditedFileKeepsItsMarkAndEncoding) {
    writeFile(dir.file("f.xml"), "\xEF\xBB\xBF<Login>\r\n</Login>\r\n");
    XmlDocument doc;
    ASSERT_TRUE(doc.LoadFile(dir.file("f.xml")));
    ASSERT_TRUE(doc.FindElement("Login"));
    ASSERT_TRUE(doc.EnterElement());
    ASSERT_TRUE(doc.AddElement("Nabc", "def"));
    ASSERT_TRUE(doc.SaveFile(dir.file("f.xml")));
    EXPECT_EQ(readFile(dir.file("f.xml")), "\xEF\xBB\xBF<Login>\r\n<Nabc>def</Nabc>\r\n</Login>\r\n");
}

TEST_F(Files, UnrepresentableCharactersAreReported) {
    XmlDocument doc;
    doc.Parse("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><a>\xC3\xA9" + kZhongWen + "</a>");
    ASSERT_TRUE(doc.SaveFile(dir.file("latin.xml")));
    EXPECT_EQ(readFile(dir.file("latin.xml")), "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><a>\xE9?\?</a>");
    EXPECT_NE(doc.ResultText().find("<conversion_loss count=\"2\"/>"), std::string::npos) << doc.ResultText();
}

TEST_F(Files, UnknownDeclaredEncodingFallsBackToGbk) {
    writeFile(dir.file("x.xml"), "<?xml version=\"1.0\" encoding=\"no-such-charset\"?><a>" + kZhongWenGbk + "</a>");
    XmlDocument doc;
    EXPECT_TRUE(doc.LoadFile(dir.file("x.xml")));
    EXPECT_NE(doc.GetText().find(kZhongWen), std::string::npos);
}

TEST_F(Files, LoadResetsCursor) {
    writeFile(dir.file("c.xml"), "<r><a/></r>");
    XmlDocument doc;
    doc.Parse("<q><z/></q>");
    doc.FindElement("q");
    doc.EnterElement();
    ASSERT_TRUE(doc.LoadFile(dir.file("c.xml")));
    EXPECT_EQ(doc.CursorParent(), 0u);
    EXPECT_EQ(doc.CursorCurrent(), 0u);
    EXPECT_TRUE(doc.FindElement("r"));
}

} // namespace
} // namespace orva

// References in element texts and the escaping of values.
#include "core/web/XmlEntities.h"

#include <gtest/gtest.h>

namespace orva {
namespace {

struct UnescapeCase {
    const char* in;
    const char* out;
};

class Unescape : public ::testing::TestWithParam<UnescapeCase> {};

TEST_P(Unescape, Table) {
    EXPECT_EQ(UnescapeText(GetParam().in), GetParam().out) << GetParam().in;
}

INSTANTIATE_TEST_SUITE_P(
    Xml, Unescape,
    ::testing::Values(
        // The five XML names, and names defined in one letter case only, in any case.
        UnescapeCase{"&lt;&gt;&amp;&quot;&apos;", "<>&\"'"}, UnescapeCase{"&AMP;&Amp;&APOS;&QuOt;", "&&'\""},
        UnescapeCase{"&nbsp;&NBSP;", "\xC2\xA0\xC2\xA0"}, UnescapeCase{"&thetasym;", "\xCF\x91"},
        UnescapeCase{"&copy;&COPY;", "\xC2\xA9\xC2\xA9"},
        // Names HTML defines in both cases stand for different characters and must be exact.
        UnescapeCase{"&eacute;", "\xC3\xA9"}, UnescapeCase{"&Eacute;", "\xC3\x89"},
        UnescapeCase{"&EACUTE;", "&EACUTE;"}, UnescapeCase{"&Omega;&omega;", "\xCE\xA9\xCF\x89"},
        UnescapeCase{"&dArr;&darr;", "\xE2\x87\x93\xE2\x86\x93"}, UnescapeCase{"&DARR;", "&DARR;"},
        // Numeric references.
        UnescapeCase{"&#65;&#x41;&#X41;&#x4e2d;", "AAA\xE4\xB8\xAD"}, UnescapeCase{"&#x1F600;", "\xF0\x9F\x98\x80"},
        UnescapeCase{"&#1114111;", "\xF4\x8F\xBF\xBF"}, UnescapeCase{"&#00000065;", "A"},
        UnescapeCase{"&#000000065;", "&#000000065;"}, UnescapeCase{"&#0;", "&#0;"}, UnescapeCase{"&#;", "&#;"},
        UnescapeCase{"&#x;", "&#x;"}, UnescapeCase{"&#12a;", "&#12a;"}, UnescapeCase{"&#xD800;", "&#xD800;"},
        UnescapeCase{"&#x110000;", "&#x110000;"},
        // Not references: the "&" stays and the rest follows as text.
        UnescapeCase{"&bogus;", "&bogus;"}, UnescapeCase{"&amp", "&amp"}, UnescapeCase{"a & b", "a & b"},
        UnescapeCase{"&;", "&;"}, UnescapeCase{"&verylongname;", "&verylongname;"},
        UnescapeCase{"&am\xC3\xA9;", "&am\xC3\xA9;"}, UnescapeCase{"&&amp;", "&&"},
        UnescapeCase{"&bogus;&lt;", "&bogus;<"}, UnescapeCase{"", ""}, UnescapeCase{"plain", "plain"}));

TEST(XmlEntities, EveryNameOfTheTableResolves) {
    for (std::size_t i = 0; i < xml_entities::kExactNameCount; ++i) {
        const auto& row = xml_entities::kExactNames[i];
        EXPECT_EQ(xml_entities::LookupEntity(row.name), row.codePoint) << row.name;
    }
    EXPECT_EQ(xml_entities::kExactNameCount, 253u);
    // 64 pairs differ only in letter case; the other 125 names may be written in any case.
    EXPECT_EQ(xml_entities::kFoldedNameCount, 253u - 128u);
}

struct EscapeCase {
    const char* in;
    const char* element;
    const char* attribute;
};

class Escape : public ::testing::TestWithParam<EscapeCase> {};

TEST_P(Escape, ElementAndAttributeValues) {
    EXPECT_EQ(EscapeElementValue(GetParam().in), GetParam().element);
    EXPECT_EQ(EscapeAttributeValue(GetParam().in), GetParam().attribute);
}

INSTANTIATE_TEST_SUITE_P(
    Xml, Escape,
    ::testing::Values(EscapeCase{"x<y", "x&lt;y", "x&lt;y"}, EscapeCase{"a&b>c", "a&amp;b&gt;c", "a&amp;b&gt;c"},
                      EscapeCase{"say \"hi\" it's", "say \"hi\" it's", "say &quot;hi&quot; it&apos;s"},
                      EscapeCase{"\xE4\xB8\xAD", "\xE4\xB8\xAD", "\xE4\xB8\xAD"}));

TEST(XmlEntities, KeepReferences) {
    EXPECT_EQ(EscapeElementValue("&amp; & &#65; &x", true), "&amp; &amp; &#65; &amp;x");
}

} // namespace
} // namespace orva

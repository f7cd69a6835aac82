#include "core/web/LoginFile.h"
#include "core/web/Md5.h"
#include "core/web/Utf8.h"

#include <gtest/gtest.h>

namespace orva {
namespace {

TEST(Md5, Rfc1321TestSuite) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"", "d41d8cd98f00b204e9800998ecf8427e"},
        {"a", "0cc175b9c0f1b6a831c399e269772661"},
        {"abc", "900150983cd24fb0d6963f7d28e17f72"},
        {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
        {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789", "d174ab98d277d9f5a5611c2c9f419d9f"},
        {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
         "57edf4a22be3c955ac49da2e2107b67a"},
    };
    for (const auto& [input, digest] : cases)
        EXPECT_EQ(Md5Hex(input), digest) << '"' << input << '"';
    // Bytes after a NUL count too.
    EXPECT_NE(Md5Hex(std::string("a\0b", 3)), Md5Hex("a"));
}

TEST(CredentialDigest, IsTakenOverTheUnitByUnitForm) {
    EXPECT_EQ(CredentialDigest("abc"), "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(CredentialDigest("张三"), Md5Hex("张三"));
    // A character outside the BMP is hashed as its two surrogates, three bytes each.
    EXPECT_EQ(CredentialDigest("\xF0\x9F\x98\x80"), Md5Hex("\xED\xA0\xBD\xED\xB8\x80"));
}

TEST(Utf8, UnitBytesEncodeEachUtf16UnitOnItsOwn) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"vladmin", "vladmin"},
        {"\xC3\xA9", "\xC3\xA9"},                         // é: two bytes
        {"中文", "中文"},                                 // three bytes each
        {"\xF0\x9F\x98\x80", "\xED\xA0\xBD\xED\xB8\x80"}, // U+1F600 as D83D DE00
        {"a\xFF"
         "b",
         "a\xEF\xBF\xBD"
         "b"}, // a stray byte stands for U+FFFD
    };
    for (const auto& [in, out] : cases)
        EXPECT_EQ(Utf16UnitBytes(in), out) << in;
}

TEST(Utf8, SanitizeReplacesEveryMalformedSequence) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"plain", "plain"},
        {"中\xF0\x9F\x98\x80", "中\xF0\x9F\x98\x80"},
        {"\x80", "\xEF\xBF\xBD"},                                                 // continuation byte alone
        {"\xC0\xAF", "\xEF\xBF\xBD\xEF\xBF\xBD"},                                 // overlong "/"
        {"\xED\xA0\x80", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},                 // encoded surrogate
        {"\xF4\x90\x80\x80", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"}, // above U+10FFFF
        {"ab\xE4\xB8", "ab\xEF\xBF\xBD\xEF\xBF\xBD"},                             // cut short
    };
    for (const auto& [in, out] : cases)
        EXPECT_EQ(Utf8Sanitize(in), out);
}

TEST(Utf8, CompareUtf16OrdersAsWcscmp) {
    struct Case {
        std::string a, b;
        int sign;
    };
    const std::vector<Case> cases = {
        {"11-2.2-33333333", "10", 1},
        {"9", "10", 1}, // text, not number
        {"11-2.2-33333333", "11-2.2-33333333", 0},
        {"11-2.2-33333333", "12", -1},
        {"1.0", "1.0.1", -1},
        {"", "", 0},
        {"a", "", 1},
        // U+FFFD is a larger unit than the high surrogate of U+1F600, though a smaller code point.
        {"\xEF\xBF\xBD", "\xF0\x9F\x98\x80", 1},
    };
    for (const auto& c : cases) {
        const int r = CompareUtf16(c.a, c.b);
        EXPECT_EQ((r > 0) - (r < 0), c.sign) << c.a << " vs " << c.b;
    }
}

} // namespace
} // namespace orva

#include "core/protocol/Base64.h"

#include <gtest/gtest.h>

namespace orva {
namespace {

struct Vector {
    std::string bytes;
    std::string text;
};

// RFC 4648 section 10, plus bytes the reply texts may carry (zero and high bytes).
const std::vector<Vector> kVectors = {
    {"", ""},
    {"f", "Zg=="},
    {"fo", "Zm8="},
    {"foo", "Zm9v"},
    {"foob", "Zm9vYg=="},
    {"fooba", "Zm9vYmE="},
    {"foobar", "Zm9vYmFy"},
    {"CONNECT", "Q09OTkVDVA=="},
    {std::string("\x00\xff\xfe\x80", 4), "AP/+gA=="},
    {"\xfb\xff", "+/8="},
};

TEST(Base64Test, EncodesAndDecodesTheStandardVectors) {
    for (const auto& v : kVectors) {
        SCOPED_TRACE(v.text);
        EXPECT_EQ(Base64Encode(v.bytes), v.text);
        if (v.text.empty())
            continue; // decoding refuses empty text, see below
        std::string out = "stale";
        ASSERT_TRUE(Base64Decode(v.text, out));
        EXPECT_EQ(out, v.bytes);
    }
}

TEST(Base64Test, RefusesMalformedTextAndLeavesTheOutputAlone) {
    const std::vector<std::string> bad = {
        "",         // empty
        "Zg=",      // length not a multiple of 4
        "Zm9vY",    // ditto
        "Zm9v!mFy", // character outside the alphabet
        "Zm9 vYmE", // blank inside
        "Zm9-",     // URL-safe alphabet is not ours
        "Zg==Zm8=", // padding in the middle
        "Z===",     // too much padding
        "====",     // nothing but padding
        "Zm=v",     // padding followed by data
        std::string("Zm8\0", 4),
    };
    for (const auto& text : bad) {
        SCOPED_TRACE(text);
        std::string out = "untouched";
        EXPECT_FALSE(Base64Decode(text, out));
        EXPECT_EQ(out, "untouched");
    }
}

} // namespace
} // namespace orva

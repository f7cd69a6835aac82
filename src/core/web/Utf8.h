#pragma once
// UTF-8 helpers for the web layer. Texts in the core are UTF-8; these cover the few places where the
// services or stored files were defined in terms of UTF-16 code units.
#include <cstddef>
#include <string>
#include <string_view>

namespace orva {

// Decodes the UTF-8 sequence at s[i] into cp; returns its length, or 0 when it is not well-formed
// (stray continuation byte, overlong form, surrogate, above U+10FFFF, truncated).
std::size_t DecodeUtf8(std::string_view s, std::size_t i, char32_t& cp);

// Appends the UTF-8 form of a code point (which must be a Unicode scalar value).
void AppendUtf8(std::string& out, char32_t cp);

// The bytes as valid UTF-8: every malformed sequence (stray continuation byte, overlong form, encoded
// surrogate, code point above U+10FFFF, truncated sequence) becomes U+FFFD.
std::string Utf8Sanitize(std::string_view bytes);

// UTF-8 to UTF-16 code units; malformed sequences become U+FFFD.
std::u16string Utf8ToUtf16(std::string_view utf8);

// UTF-16 code units back to UTF-8; an unpaired surrogate becomes U+FFFD.
std::string Utf16ToUtf8(std::u16string_view units);

// The text encoded one UTF-16 unit at a time: a unit below 0x80 gives one byte, below 0x800 two bytes,
// any other three bytes, a surrogate unit encoded on its own (so a character above U+FFFF gives six
// bytes). Digests in res/login.xml were always taken over this form, so it must not change.
std::string Utf16UnitBytes(std::string_view utf8);

// Ordinal comparison of the texts' UTF-16 units, as wcscmp compares them: negative, 0 or positive.
int CompareUtf16(std::string_view a, std::string_view b);

} // namespace orva

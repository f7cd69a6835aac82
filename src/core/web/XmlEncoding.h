#pragma once
// Text encodings of XmlDocument files: names, declarations, and the coders between them and the
// document's UTF-8 text. Code pages other than the Unicode forms go through iconv.
#include <cstddef>
#include <string>
#include <string_view>

namespace orva::xml_encoding {

enum class Kind { Utf8, Utf16LE, Utf16BE, Utf32LE, Utf32BE, CodePage };

struct Encoding {
    Kind kind = Kind::Utf8;
    std::string iconvName; // for Kind::CodePage
    std::string label;     // for the result log
};

// The code page files are taken in when nothing else tells: the Chinese Windows code page (936),
// which is what the gateways' tools and technicians' PCs write.
inline constexpr const char* kAnsiCodePage = "GBK";

Encoding Utf8();
Encoding Ansi();
// An encoding name as declared in a document. Names this table does not hold are tried with iconv;
// names iconv does not know either, and names of 100 characters or more, give the ANSI code page.
Encoding FromName(std::string_view name);

// The encoding declared in a text: the "encoding" of a leading XML declaration, or in an HTML text
// the charset of its <meta http-equiv="Content-Type" content="...; charset=..."> element. "" if none.
std::string DeclaredEncoding(std::string_view text);

bool IsValidUtf8(std::string_view bytes);
// UTF-8 with every invalid sequence replaced by "?"; `replaced` counts them.
std::string SanitizeUtf8(std::string_view bytes, std::size_t& replaced);

// Unicode forms to and from UTF-8. Decoding replaces what has no character (lone surrogates, values
// beyond U+10FFFF) by "?"; `lost` counts them.
std::string DecodeUtf16(std::string_view bytes, bool bigEndian, std::size_t& lost);
std::string DecodeUtf32(std::string_view bytes, bool bigEndian, std::size_t& lost);
std::string EncodeUtf16(std::string_view utf8, bool bigEndian, std::size_t& lost);
std::string EncodeUtf32(std::string_view utf8, bool bigEndian, std::size_t& lost);

// Through iconv. An input sequence that cannot be converted becomes "?" and is counted in `lost`.
// False when iconv does not know one of the encodings.
bool ConvertFromCodePage(const std::string& codePage, std::string_view bytes, std::string& utf8, std::size_t& lost);
bool ConvertToCodePage(const std::string& codePage, std::string_view utf8, std::string& bytes, std::size_t& lost);

// UTF-16 code units of a UTF-8 text.
std::size_t Utf16Length(std::string_view utf8);

} // namespace orva::xml_encoding

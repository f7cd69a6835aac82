#pragma once
// A gateway's reply bytes as text of the tool. Every byte is one character whose code is the byte's
// value, so bytes 128-255 stand for U+0080..U+00FF; in the core's UTF-8 texts those take two bytes.
// Left as they arrived, such bytes would be malformed UTF-8 in the record, the report and every front
// end that prints it.
#include <string>
#include <string_view>

namespace orva {

std::string ReplyBytesToText(std::string_view bytes);

// What stands in for a control character a gateway sent: U+FFFD, the character that says "something
// was here that cannot be shown". Unlike "?" it cannot be mistaken for a question mark the gateway
// really sent, it is a legal XML character, and the GBK log writes it as "?" like any other character
// it has no form for.
inline constexpr std::string_view kReplacementCharacter = "\xEF\xBF\xBD";

// The text with every C0 control character (U+0000..U+001F) and DEL (U+007F) replaced by U+FFFD.
// A gateway's field values reach terminals, log lines, list rows, stored rows and the report: an
// escape sequence would drive the technician's terminal, a CR LF would forge a line of the log, and
// most of these characters are not allowed in an XML document at all. These are single bytes that
// never occur inside a UTF-8 sequence, so every other byte is left exactly as it is.
std::string ReplaceControlCharacters(std::string_view text);

} // namespace orva

#pragma once
// A gateway's reply bytes as text of the tool. Every byte is one character whose code is the byte's
// value, so bytes 128-255 stand for U+0080..U+00FF; in the core's UTF-8 texts those take two bytes.
// Left as they arrived, such bytes would be malformed UTF-8 in the record, the report and every front
// end that prints it.
#include <string>
#include <string_view>

namespace orva {

std::string ReplyBytesToText(std::string_view bytes);

} // namespace orva

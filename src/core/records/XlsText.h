#pragma once
// Text in the forms a BIFF8 workbook stores it: UTF-16 code units from the core's UTF-8 texts.
// Utf8ToUtf16 (web/Utf8.h) turns a malformed sequence into U+FFFD, so a stray byte never makes the
// file unreadable.
#include "core/web/Utf8.h"

#include <cstddef>
#include <string>

namespace orva {

// The first unit of a surrogate pair.
bool IsHighSurrogate(char16_t unit);

// The number of code units `text` may keep so that at most `limit` remain and no surrogate pair is cut.
std::size_t Utf16CutLength(const std::u16string& text, std::size_t limit);

// True when every unit fits into one byte, so that the compressed (8-bit) string form can hold it.
bool FitsCompressed(const std::u16string& text);

} // namespace orva

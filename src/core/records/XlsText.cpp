#include "core/records/XlsText.h"

namespace orva {

bool IsHighSurrogate(char16_t unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}

std::size_t Utf16CutLength(const std::u16string& text, std::size_t limit) {
    if (text.size() <= limit)
        return text.size();
    if (limit > 0 && IsHighSurrogate(text[limit - 1]))
        return limit - 1;
    return limit;
}

bool FitsCompressed(const std::u16string& text) {
    for (const char16_t unit : text)
        if (unit > 0xFF)
            return false;
    return true;
}

} // namespace orva

#include "core/protocol/ReplyText.h"

namespace orva {

std::string ReplyBytesToText(std::string_view bytes) {
    std::string text;
    text.reserve(bytes.size());
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x80) {
            text += c;
        } else {
            text += static_cast<char>(0xC0 | (b >> 6));
            text += static_cast<char>(0x80 | (b & 0x3F));
        }
    }
    return text;
}

std::string ReplaceControlCharacters(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x20 || b == 0x7F)
            out += kReplacementCharacter;
        else
            out += c;
    }
    return out;
}

} // namespace orva

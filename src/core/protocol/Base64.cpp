#include "core/protocol/Base64.h"

#include <array>
#include <cstdint>

namespace orva {
namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

constexpr std::array<int8_t, 256> makeReverse() {
    std::array<int8_t, 256> table{};
    for (auto& v : table)
        v = -1;
    for (int i = 0; i < 64; ++i)
        table[static_cast<unsigned char>(kAlphabet[i])] = static_cast<int8_t>(i);
    return table;
}
constexpr auto kReverse = makeReverse();

} // namespace

std::string Base64Encode(std::string_view bytes) {
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    size_t i = 0;
    for (; i + 3 <= bytes.size(); i += 3) {
        uint32_t v = (uint32_t(uint8_t(bytes[i])) << 16) | (uint32_t(uint8_t(bytes[i + 1])) << 8) | uint8_t(bytes[i + 2]);
        out += kAlphabet[(v >> 18) & 63];
        out += kAlphabet[(v >> 12) & 63];
        out += kAlphabet[(v >> 6) & 63];
        out += kAlphabet[v & 63];
    }
    size_t rest = bytes.size() - i;
    if (rest == 1) {
        uint32_t v = uint32_t(uint8_t(bytes[i])) << 16;
        out += kAlphabet[(v >> 18) & 63];
        out += kAlphabet[(v >> 12) & 63];
        out += "==";
    } else if (rest == 2) {
        uint32_t v = (uint32_t(uint8_t(bytes[i])) << 16) | (uint32_t(uint8_t(bytes[i + 1])) << 8);
        out += kAlphabet[(v >> 18) & 63];
        out += kAlphabet[(v >> 12) & 63];
        out += kAlphabet[(v >> 6) & 63];
        out += '=';
    }
    return out;
}

bool Base64Decode(std::string_view text, std::string& out) {
    if (text.empty() || text.size() % 4 != 0)
        return false;
    std::string result;
    result.reserve(text.size() / 4 * 3);
    const size_t groups = text.size() / 4;
    for (size_t g = 0; g < groups; ++g) {
        const bool last = g + 1 == groups;
        int vals[4];
        int pad = 0;
        for (int k = 0; k < 4; ++k) {
            const char c = text[g * 4 + k];
            if (c == '=') {
                // Padding may only close the last group, as its third and fourth or its fourth character.
                if (!last || k < 2)
                    return false;
                ++pad;
                vals[k] = 0;
                continue;
            }
            if (pad > 0)
                return false;
            const int v = kReverse[static_cast<unsigned char>(c)];
            if (v < 0)
                return false;
            vals[k] = v;
        }
        const uint32_t v = (uint32_t(vals[0]) << 18) | (uint32_t(vals[1]) << 12) | (uint32_t(vals[2]) << 6) | uint32_t(vals[3]);
        result += char((v >> 16) & 0xFF);
        if (pad < 2)
            result += char((v >> 8) & 0xFF);
        if (pad < 1)
            result += char(v & 0xFF);
    }
    out = std::move(result);
    return true;
}

} // namespace orva

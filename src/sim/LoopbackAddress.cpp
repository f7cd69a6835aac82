#include "LoopbackAddress.h"

#include <cctype>

namespace orva::sim {

bool ParseIpv4(const std::string& text, uint32_t& hostOrder) {
    uint32_t value = 0;
    int parts = 0;
    size_t i = 0;
    while (parts < 4) {
        if (i >= text.size() || !std::isdigit(static_cast<unsigned char>(text[i])))
            return false;
        uint32_t part = 0;
        size_t digits = 0;
        while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) {
            part = part * 10 + uint32_t(text[i] - '0');
            if (++digits > 3 || part > 255)
                return false;
            ++i;
        }
        value = (value << 8) | part;
        ++parts;
        if (parts < 4) {
            if (i >= text.size() || text[i] != '.')
                return false;
            ++i;
        }
    }
    if (i != text.size())
        return false;
    hostOrder = value;
    return true;
}

bool IsLoopback(uint32_t hostOrder) {
    return (hostOrder >> 24) == 127;
}

std::string FormatIpv4(uint32_t a) {
    return std::to_string(a >> 24) + "." + std::to_string((a >> 16) & 255) + "." + std::to_string((a >> 8) & 255) +
           "." + std::to_string(a & 255);
}

uint32_t SegmentBroadcast(uint32_t hostOrder) {
    return hostOrder | 0xFFu;
}

} // namespace orva::sim

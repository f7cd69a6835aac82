#include "sim/LoopbackAddress.h"

#include <cctype>
#include <charconv>

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

Result<LoopbackEndpoint> ParseLoopbackEndpoint(const std::string& text) {
    auto colon = text.rfind(':');
    uint32_t addr = 0;
    if (colon == std::string::npos || !ParseIpv4(text.substr(0, colon), addr))
        return Failure{"'" + text + "' is not IPV4:PORT"};
    if (!IsLoopback(addr))
        return Failure{"refusing to serve on " + text + ": only loopback addresses (127.0.0.0/8) are allowed"};
    std::string portText = text.substr(colon + 1);
    int port = 0;
    auto [end, ec] = std::from_chars(portText.data(), portText.data() + portText.size(), port);
    if (ec != std::errc() || end != portText.data() + portText.size() || port < 0 || port > 65535)
        return Failure{"bad port in '" + text + "'"};
    return LoopbackEndpoint{FormatIpv4(addr), port};
}

Result<void> CheckLoopbackOnly(const std::string& address, const std::string& http, const std::string& https) {
    uint32_t addr = 0;
    if (!ParseIpv4(address, addr))
        return Failure{"'" + address + "' is not a dotted-decimal IPv4 address"};
    if (!IsLoopback(addr))
        return Failure{"refusing to bind " + address + ": only loopback addresses (127.0.0.0/8) are allowed"};
    for (const std::string* endpoint : {&http, &https}) {
        if (endpoint->empty())
            continue;
        if (const Result<LoopbackEndpoint> parsed = ParseLoopbackEndpoint(*endpoint); !parsed)
            return Failure{parsed.error()};
    }
    return {};
}

} // namespace orva::sim

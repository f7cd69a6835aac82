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

bool ParseLoopbackEndpoint(const std::string& text, std::string& host, int& port, std::string& error) {
    auto colon = text.rfind(':');
    uint32_t addr = 0;
    if (colon == std::string::npos || !ParseIpv4(text.substr(0, colon), addr)) {
        error = "'" + text + "' is not IPV4:PORT";
        return false;
    }
    if (!IsLoopback(addr)) {
        error = "refusing to serve on " + text + ": only loopback addresses (127.0.0.0/8) are allowed";
        return false;
    }
    std::string portText = text.substr(colon + 1);
    auto [end, ec] = std::from_chars(portText.data(), portText.data() + portText.size(), port);
    if (ec != std::errc() || end != portText.data() + portText.size() || port < 0 || port > 65535) {
        error = "bad port in '" + text + "'";
        return false;
    }
    host = FormatIpv4(addr);
    return true;
}

bool CheckLoopbackOnly(const std::string& address, const std::string& http, const std::string& https,
                       std::string& error) {
    uint32_t addr = 0;
    if (!ParseIpv4(address, addr)) {
        error = "'" + address + "' is not a dotted-decimal IPv4 address";
        return false;
    }
    if (!IsLoopback(addr)) {
        error = "refusing to bind " + address + ": only loopback addresses (127.0.0.0/8) are allowed";
        return false;
    }
    for (const std::string* endpoint : {&http, &https}) {
        std::string host;
        int port = 0;
        if (!endpoint->empty() && !ParseLoopbackEndpoint(*endpoint, host, port, error))
            return false;
    }
    return true;
}

} // namespace orva::sim

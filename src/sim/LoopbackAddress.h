#pragma once
// The simulator only ever binds loopback addresses: real gateway segments are customer networks.
#include "core/app/Result.h"

#include <cstdint>
#include <string>

namespace orva::sim {

// Strict dotted-decimal IPv4 ("127.0.41.1"); false for anything else.
bool ParseIpv4(const std::string& text, uint32_t& hostOrder);
bool IsLoopback(uint32_t hostOrder);
std::string FormatIpv4(uint32_t hostOrder);
// The segment broadcast address: the last dotted part replaced by 255.
uint32_t SegmentBroadcast(uint32_t hostOrder);
struct LoopbackEndpoint {
    std::string host; // dotted decimal, as parsed
    int port = 0;
};
// "HOST:PORT" with HOST a loopback IPv4 address and PORT 0..65535; otherwise a failure saying what is wrong.
Result<LoopbackEndpoint> ParseLoopbackEndpoint(const std::string& text);
// Every address the options name (gateway, web endpoints) is loopback and well formed.
Result<void> CheckLoopbackOnly(const std::string& address, const std::string& http, const std::string& https);

} // namespace orva::sim

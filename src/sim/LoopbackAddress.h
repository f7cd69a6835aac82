#pragma once
// The simulator only ever binds loopback addresses: real gateway segments are customer networks.
#include <cstdint>
#include <string>

namespace orva::sim {

// Strict dotted-decimal IPv4 ("127.0.41.1"); false for anything else.
bool ParseIpv4(const std::string& text, uint32_t& hostOrder);
bool IsLoopback(uint32_t hostOrder);
std::string FormatIpv4(uint32_t hostOrder);
// The segment broadcast address: the last dotted part replaced by 255.
uint32_t SegmentBroadcast(uint32_t hostOrder);

} // namespace orva::sim

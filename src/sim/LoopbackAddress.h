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
// "HOST:PORT" with HOST a loopback IPv4 address and PORT 0..65535; false with an error text otherwise.
bool ParseLoopbackEndpoint(const std::string& text, std::string& host, int& port, std::string& error);
// Every address the options name (gateway, web endpoints) is loopback and well formed.
bool CheckLoopbackOnly(const std::string& address, const std::string& http, const std::string& https,
                       std::string& error);

} // namespace orva::sim

#pragma once
// Development builds must never reach a real network: the built-in addresses (and whatever a damaged or
// incomplete setting.ini falls back to) belong to customers' segments. With ORVA_LOOPBACK_ONLY on, every
// UDP datagram and every HTTP connection is checked here before anything leaves, and a destination
// outside 127.0.0.0/8 is refused like any other failed send or request. Only the release package and a
// site's own build turn the option off.
#include <cstdint>
#include <string>

namespace orva {

#ifndef ORVA_LOOPBACK_ONLY
#define ORVA_LOOPBACK_ONLY 1
#endif
inline constexpr bool kLoopbackOnly = ORVA_LOOPBACK_ONLY != 0;

// True for an address in 127.0.0.0/8 (network byte order).
bool IsLoopbackAddress(uint32_t addressNetworkOrder);
// True for dotted-decimal IPv4 text in 127.0.0.0/8; false for anything else, names included.
bool IsLoopbackAddress(const std::string& dotted);

// Whether this build may send to the address: always when the option is off, otherwise loopback only.
bool DestinationAllowed(uint32_t addressNetworkOrder, bool loopbackOnly = kLoopbackOnly);
// The same for an address as text. Text that is not dotted-decimal IPv4 is not allowed while the
// option is on (it can name nothing on loopback that 127.x.y.z cannot).
bool DestinationAllowed(const std::string& dotted, bool loopbackOnly = kLoopbackOnly);

// What the technician and the log see when a destination is refused: names the address and the option.
// Ends with "\n" like the channel's other error texts.
std::string LoopbackRefusal(const std::string& address);

} // namespace orva

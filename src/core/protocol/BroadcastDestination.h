#pragma once
// Which destinations a unicast exchange may hear other hosts answer for.
#include <cstdint>

namespace orva {

// True when a datagram to this address (network byte order) may be answered by other hosts than the
// address itself: the limited broadcast 255.255.255.255, the broadcast address of one of this host's
// interfaces, or an address whose last part is 255. The last rule is the segment convention of the
// maintenance pages (a gateway address with its last part replaced by 255, whatever the mask), and it
// is what a loopback test segment 127.0.N.255 has, where no interface names a broadcast address.
bool IsBroadcastDestination(uint32_t addressNetworkOrder);

} // namespace orva

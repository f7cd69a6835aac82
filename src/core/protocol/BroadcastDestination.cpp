#include "core/protocol/BroadcastDestination.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>

namespace orva {

namespace {

bool IsInterfaceBroadcast(uint32_t addressNetworkOrder) {
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0)
        return false;
    bool found = false;
    for (const ifaddrs* i = list; i != nullptr && !found; i = i->ifa_next) {
        if (!(i->ifa_flags & IFF_BROADCAST) || i->ifa_broadaddr == nullptr || i->ifa_addr == nullptr ||
            i->ifa_addr->sa_family != AF_INET)
            continue;
        const auto* b = reinterpret_cast<const sockaddr_in*>(i->ifa_broadaddr);
        found = b->sin_addr.s_addr == addressNetworkOrder;
    }
    ::freeifaddrs(list);
    return found;
}

} // namespace

bool IsBroadcastDestination(uint32_t addressNetworkOrder) {
    const uint32_t host = ntohl(addressNetworkOrder);
    if (host == 0xFFFFFFFFu || (host & 0xFFu) == 0xFFu)
        return true;
    return IsInterfaceBroadcast(addressNetworkOrder);
}

} // namespace orva

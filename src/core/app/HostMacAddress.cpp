#include "core/app/HostMacAddress.h"

#include <cstdio>
#include <ifaddrs.h>
#include <linux/if_packet.h>
#include <net/if.h>
#include <sys/socket.h>

namespace orva {

bool HostMacAddress(std::string& out) {
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0)
        return false;
    bool found = false;
    for (const ifaddrs* ifa = list; ifa && !found; ifa = ifa->ifa_next) {
        if (!ifa->ifa_addr || ifa->ifa_addr->sa_family != AF_PACKET || (ifa->ifa_flags & IFF_LOOPBACK))
            continue;
        const auto* ll = reinterpret_cast<const sockaddr_ll*>(ifa->ifa_addr);
        if (ll->sll_halen < 6)
            continue;
        const unsigned char* a = ll->sll_addr;
        // Loopback's 00-00-00-00-00-00 says nothing about the PC; neither does any other all-zero address.
        if ((a[0] | a[1] | a[2] | a[3] | a[4] | a[5]) == 0)
            continue;
        char text[18];
        std::snprintf(text, sizeof text, "%02X-%02X-%02X-%02X-%02X-%02X", a[0], a[1], a[2], a[3], a[4], a[5]);
        out = text;
        found = true;
    }
    freeifaddrs(list);
    return found;
}

} // namespace orva

#include "core/app/LoopbackGuard.h"

#include <arpa/inet.h>
#include <netinet/in.h>

namespace orva {

bool IsLoopbackAddress(uint32_t addressNetworkOrder) {
    return (ntohl(addressNetworkOrder) >> 24) == 127;
}

bool IsLoopbackAddress(const std::string& dotted) {
    in_addr a{};
    return ::inet_pton(AF_INET, dotted.c_str(), &a) == 1 && IsLoopbackAddress(a.s_addr);
}

bool DestinationAllowed(uint32_t addressNetworkOrder, bool loopbackOnly) {
    return !loopbackOnly || IsLoopbackAddress(addressNetworkOrder);
}

bool DestinationAllowed(const std::string& dotted, bool loopbackOnly) {
    return !loopbackOnly || IsLoopbackAddress(dotted);
}

std::string LoopbackRefusal(const std::string& address) {
    return "refused to send to " + address +
           ": this build talks to loopback only; build with -DORVA_LOOPBACK_ONLY=OFF for a real site\n";
}

} // namespace orva

#pragma once
// Who answers at an address: CONNECT, then QUERY_SYSTEM_INFO on the identity port.
#include <map>
#include <string>

namespace orva::cli {

struct GatewayIdentity {
    std::string connectError; // "" when CONNECT was answered
    std::string status;       // CONNECT's STATUS
    std::map<std::string, std::string> fields; // the identity fields that were read
    bool identified = false;  // all five read
};

// Says `saying` (default "connecting to A …") on standard error first. Leaves the channel on that
// address and port.
GatewayIdentity ReadGatewayIdentity(const std::string& address, int replyTimeoutSeconds,
                                    const std::string& saying = "");

inline constexpr const char* kIdentityFields[] = {"SWVERSION", "HDVERSION", "PRODUCTCLASS", "CPUCLASS", "DEVTYPE"};

} // namespace orva::cli

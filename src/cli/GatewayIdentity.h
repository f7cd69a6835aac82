#pragma once
// Who answers at an address: CONNECT, then QUERY_SYSTEM_INFO on the identity port.
#include <cstdint>
#include <map>
#include <string>

namespace orva::cli {

struct GatewayIdentity {
    std::string connectError; // "" when CONNECT was answered
    std::string status;       // CONNECT's STATUS
    std::map<std::string, std::string> fields; // the identity fields that were read
    bool identified = false;  // all five read
};

// Says `saying` (default "connecting to A …") on standard error first. Sends on the identity port with
// a target of its own: the channel's settings stay as they were.
GatewayIdentity ReadGatewayIdentity(const std::string& address, int replyTimeoutSeconds,
                                    const std::string& saying = "");

// The port CONNECT and QUERY_SYSTEM_INFO go to.
uint16_t IdentityPort();

inline constexpr const char* kIdentityFields[] = {"SWVERSION", "HDVERSION", "PRODUCTCLASS", "CPUCLASS", "DEVTYPE"};

} // namespace orva::cli

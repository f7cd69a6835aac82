#include "cli/GatewayIdentity.h"

#include "core/protocol/CommandTexts.h"
#include "core/protocol/DeviceCommands.h"
#include "core/protocol/DeviceReply.h"

#include <cstdio>

namespace orva::cli {

uint16_t IdentityPort() {
    return static_cast<uint16_t>(Info(orva::Command::Connect).gatewayPort);
}

GatewayIdentity ReadGatewayIdentity(const std::string& address, int replyTimeoutSeconds, const std::string& saying) {
    const ExchangeTarget gateway{address, IdentityPort(), replyTimeoutSeconds, -1};
    std::fprintf(stderr, "%s\n", saying.empty() ? ("connecting to " + address + " …").c_str() : saying.c_str());
    std::fflush(stderr);

    GatewayIdentity identity;
    DeviceReply reply;
    DeviceCommands::Connect(gateway, reply);
    if (reply.Get("RET") == "ERROR") {
        identity.connectError = reply.Get("ERROR");
        while (!identity.connectError.empty() && identity.connectError.back() == '\n')
            identity.connectError.pop_back();
    } else {
        identity.status = reply.Get("STATUS");
    }
    DeviceReply fields;
    identity.identified = DeviceCommands::QuerySystemInfo(gateway, fields);
    for (const char* name : kIdentityFields)
        if (fields.Contains(name))
            identity.fields[name] = fields.Get(name);
    return identity;
}

} // namespace orva::cli

#include "cli/GatewayIdentity.h"

#include "core/protocol/CommandChannel.h"
#include "core/protocol/DeviceCommands.h"
#include "core/protocol/DeviceReply.h"

#include <cstdio>

namespace orva::cli {
namespace {

constexpr int kIdentityPort = 7998;

} // namespace

GatewayIdentity ReadGatewayIdentity(const std::string& address, int replyTimeoutSeconds, const std::string& saying) {
    CommandChannel& channel = CommandChannel::Instance();
    channel.SetAddress(address);
    channel.SetPort(kIdentityPort);
    channel.SetReplyTimeout(replyTimeoutSeconds);
    std::fprintf(stderr, "%s\n", saying.empty() ? ("connecting to " + address + " …").c_str() : saying.c_str());
    std::fflush(stderr);

    GatewayIdentity identity;
    DeviceReply reply;
    DeviceCommands::Connect(reply);
    if (reply.Get("RET") == "ERROR") {
        identity.connectError = reply.Get("ERROR");
        while (!identity.connectError.empty() && identity.connectError.back() == '\n')
            identity.connectError.pop_back();
    } else {
        identity.status = reply.Get("STATUS");
    }
    DeviceReply fields;
    identity.identified = DeviceCommands::QuerySystemInfo(fields);
    for (const char* name : kIdentityFields)
        if (fields.Contains(name))
            identity.fields[name] = fields.Get(name);
    return identity;
}

} // namespace orva::cli

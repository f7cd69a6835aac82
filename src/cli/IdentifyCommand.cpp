// orva-cli identify: is there a gateway at the address, and who is it?
#include "CliCommon.h"

#include "app/AppSettings.h"
#include "protocol/CommandChannel.h"
#include "protocol/DeviceCommands.h"
#include "protocol/DeviceReply.h"

#include <cstdio>

namespace orva::cli {
namespace {

constexpr int kIdentityPort = 7998;
constexpr int kIdentifyReplyTimeout = 5;
constexpr const char* kIdentityFields[] = {"SWVERSION", "HDVERSION", "PRODUCTCLASS", "CPUCLASS", "DEVTYPE"};

} // namespace

int RunIdentify(Args& args) {
    bool missing = false;
    std::optional<std::string> address = args.take("address", missing);
    if (missing || !args.rest().empty()) {
        std::fprintf(stderr, "usage: orva-cli [--dir DIR] identify [--address A]\n");
        return kExitUsage;
    }
    CommandChannel& channel = CommandChannel::Instance();
    channel.SetAddress(address ? *address : Settings().MaintenanceAddress);
    channel.SetPort(kIdentityPort);
    channel.SetReplyTimeout(kIdentifyReplyTimeout);
    std::printf("address %s port %d\n", channel.Address().c_str(), channel.Port());

    DeviceReply reply;
    DeviceCommands::Connect(reply);
    if (reply.Get("RET") == "ERROR") {
        std::string error = reply.Get("ERROR");
        while (!error.empty() && error.back() == '\n')
            error.pop_back();
        std::printf("CONNECT failed: %s\n", error.c_str());
    } else {
        std::printf("STATUS=%s\n", reply.Get("STATUS").c_str());
    }

    reply.Clear();
    const bool identified = DeviceCommands::QuerySystemInfo(reply);
    for (const char* field : kIdentityFields) {
        if (reply.Contains(field))
            std::printf("%s=%s\n", field, reply.Get(field).c_str());
    }
    if (!identified)
        std::printf("identity not read\n");
    std::fflush(stdout);
    return identified ? kExitOk : kExitNotFinished;
}

} // namespace orva::cli

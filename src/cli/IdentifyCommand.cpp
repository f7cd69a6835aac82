// orva-cli identify: is there a gateway at the address, and who is it?
#include "cli/CliCommon.h"
#include "cli/GatewayIdentity.h"
#include "cli/OptionChecks.h"

#include "core/app/AppSettings.h"
#include "core/protocol/CommandChannel.h"

#include <cstdio>
#include <memory>

namespace orva::cli {
namespace {

constexpr int kIdentifyReplyTimeout = 5;

struct IdentifyOptions {
    std::string address;
};

int RunIdentify(const IdentifyOptions& options) {
    const std::string address = options.address.empty() ? Settings().MaintenanceAddress : options.address;
    const GatewayIdentity identity = ReadGatewayIdentity(address, kIdentifyReplyTimeout);
    std::printf("address %s port %d\n", address.c_str(), CommandChannel::Instance().Port());
    if (!identity.connectError.empty())
        std::printf("CONNECT failed: %s\n", identity.connectError.c_str());
    else
        std::printf("STATUS=%s\n", identity.status.c_str());
    for (const char* field : kIdentityFields) {
        if (auto it = identity.fields.find(field); it != identity.fields.end())
            std::printf("%s=%s\n", field, it->second.c_str());
    }
    if (!identity.identified)
        std::printf("identity not read\n");
    std::fflush(stdout);
    return identity.identified ? kExitOk : kExitNotFinished;
}

} // namespace

Command AddIdentify(CLI::App& program) {
    auto options = std::make_shared<IdentifyOptions>();
    CLI::App* app = program.add_subcommand("identify", "Connect to a gateway and print its identity (no login)");
    app->add_option("--address", options->address, "the gateway (default: MaintenanceAddress of setting.ini)")
        ->type_name("ADDRESS")->check(Ipv4Address());
    app->footer("Exit: 0 identity read, 2 no gateway answered or the identity was not read.");
    return {app, [options] { return RunIdentify(*options); }};
}

} // namespace orva::cli

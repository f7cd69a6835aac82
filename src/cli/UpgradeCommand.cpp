// orva-cli upgrade: broadcast a firmware image, then list each gateway's upgrade result.
#include "cli/CliCommon.h"
#include "cli/OptionChecks.h"
#include "cli/UpgradeRun.h"

#include <memory>
#include <string>

namespace orva::cli {
namespace {

struct UpgradeOptions {
    std::string image;
};

int RunUpgrade(const UpgradeOptions& o) {
    std::string operatorName;
    if (const std::optional<int> code = EnterTool(operatorName))
        return *code;
    return RunUpgradeSession(UpgradeRunKind::Transfer, o.image);
}

} // namespace

Command AddUpgrade(CLI::App& program) {
    auto options = std::make_shared<UpgradeOptions>();
    CLI::App* app = program.add_subcommand(
        "upgrade", "Broadcast a firmware image, then list each gateway's upgrade result");
    app->add_option("--image", options->image, "the firmware image")->type_name("FILE")->required()->check(NotEmpty());
    app->footer("The image goes to UpgradeAddress; after waittime seconds the gateways are asked for their state.\n"
                "Progress is a bar on a terminal and percentage lines otherwise; Ctrl-C cancels the transfer.\n"
                "Before the image a roll-call asks the segment who is there (rollcalltime seconds); the check then\n"
                "ends once every gateway of it has answered, and each that never answered gets a line.\n" +
                std::string(kUpgradeExitHelp));
    return {app, [options] { return RunUpgrade(*options); }};
}

} // namespace orva::cli

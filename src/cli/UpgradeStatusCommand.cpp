// orva-cli upgrade-status: ask the segment's gateways for their upgrade state again, without an image.
#include "cli/CliCommon.h"
#include "cli/UpgradeRun.h"

#include <string>

namespace orva::cli {

Command AddUpgradeStatus(CLI::App& program) {
    CLI::App* app = program.add_subcommand(
        "upgrade-status", "Ask every gateway of the segment for its upgrade state again (no image is sent)");
    app->footer("The query goes to UpgradeAddress at once (no waittime); one result line per gateway, then the count.\n"
                "A roll-call first asks the segment who is there (rollcalltime seconds); the query then ends once\n"
                "every gateway of it has answered, and each that never answered gets a line. Ctrl-C abandons it.\n" +
                std::string(kUpgradeExitHelp));
    return {app, [] {
                std::string operatorName;
                if (const std::optional<int> code = EnterTool(operatorName))
                    return *code;
                return RunUpgradeSession(UpgradeRunKind::StatusQuery);
            }};
}

} // namespace orva::cli

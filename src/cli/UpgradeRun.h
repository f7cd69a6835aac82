#pragma once
// What orva-cli upgrade and upgrade-status share: the session printed as it runs, Ctrl-C, the closing
// count and the exit code.
#include <string>

namespace orva::cli {

enum class UpgradeRunKind {
    Transfer,    // the image, then the status check after waittime
    StatusQuery, // the status query alone, at once (no image)
};

// Runs one upgrade session in this thread until it ends (Ctrl-C cancels a transfer, abandons a
// check) and prints the count. The exit code: 0 every gateway that answered upgraded (with a roll-call:
// every gateway of the roll-call upgraded), 1 one failed, gave another state or (with a roll-call)
// never answered, 2 the transfer failed or was cancelled, the check was abandoned, or no gateway
// answered.
int RunUpgradeSession(UpgradeRunKind kind, const std::string& imagePath = {});

// The help footer's lines on the exit codes, shared by both commands.
inline constexpr const char* kUpgradeExitHelp =
    "Exit: 0 every gateway that answered upgraded, 1 some failed or gave another status,\n"
    "2 the transfer failed or was cancelled, or no gateway answered.\n"
    "With a roll-call (rollcalltime > 0 and gateways that answered it): 0 only when every gateway of the\n"
    "roll-call upgraded and none failed, 1 when one of them failed, gave another status or never answered.";

} // namespace orva::cli

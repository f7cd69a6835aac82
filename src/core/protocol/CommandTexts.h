#pragma once
// The one table of every command the tool sends: its fixed text, what is appended to it, the gateway
// port it goes to and the reply fields read from the answer. The command operations, the tests and
// the gateway simulator all build their texts from here.
#include <string>
#include <string_view>
#include <vector>

namespace orva {

enum class Command {
    Connect,
    QuerySystemInfo,
    DiagLanPort,
    DiagPotsStart,
    DiagPotsRingOn,
    DiagPotsPlayDtmf,
    DiagPotsCngTone,
    DiagPotsCallLoop,
    DiagPotsStop,
    DiagUplink,
    DiagFlash,
    DiagLed,
    DiagUsb,
    DiagWifi,
    DiagSoftwareVersion,
    DiagKeyProcess,
    DiagSystemResource,
    DiagSoftwareArea,
    DiagConfigIntegrity,
    DiagDiskIntegrity,
    RestorePreconfig,
    QueryUpgradeStatus,
    CancelUpgrade,
};

enum class CommandArgument {
    None,   // the fixed text is the whole command
    Number, // a decimal number follows the fixed text directly
    Text,   // a method text follows the fixed text directly
};

struct CommandInfo {
    Command id;
    const char* name;      // the operation's name, e.g. "DiagLed"
    const char* fixedText; // e.g. "HG_HARDWARE_DIAG STEP=5  METHOD=" (two blanks before METHOD)
    CommandArgument argument;
    int gatewayPort; // 7998, 7999, 50003 or 54321
    // Fields the operation reads from the reply, in order. For QuerySystemInfo the status marker
    // "QUERY_SYSTEM_INFO_SUCC" must also occur in the reply; the maintenance commands read none here
    // (their pages parse each reply themselves).
    std::vector<std::string> replyFields;
};

inline constexpr const char* kSystemInfoMarker = "QUERY_SYSTEM_INFO_SUCC";

// Every command, in the order of the enum.
const std::vector<CommandInfo>& CommandTable();
const CommandInfo& Info(Command id);

// The fixed text alone.
std::string CommandText(Command id);
// The fixed text followed directly by the number in decimal.
std::string CommandText(Command id, int number);
// The fixed text followed directly by the text, unchanged.
std::string CommandText(Command id, std::string_view argument);

} // namespace orva

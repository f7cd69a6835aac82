#pragma once
// Shared pieces of the orva-cli commands: exit codes, the command table, start-up.
#include <CLI/CLI.hpp>

#include <functional>
#include <optional>
#include <string>

namespace orva::cli {

// Exit codes. Those of a diagnosis: 0 all passed, 1 finished with faults, 2 did not finish.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFaults = 1;
inline constexpr int kExitNotFinished = 2;
inline constexpr int kExitUsage = 64;         // bad command line, or prompts without a terminal
inline constexpr int kExitOtherInstance = 75; // another copy holds the program directory
inline constexpr int kExitLoginFailed = 77;
inline constexpr int kExitNoSettings = 78; // EX_CONFIG: res/setting.ini is missing

// A usage error found after the command line was parsed (a model the device list does not have, a
// question without a terminal): the message names what is wrong, and the program ends with kExitUsage.
void UsageError(const std::string& message);

// One command: its subcommand on the program's command line, and what runs it once the line parsed.
struct Command {
    CLI::App* app = nullptr;
    std::function<int()> run;
};

// Each adds its subcommand with its options to `program`.
Command AddIdentify(CLI::App& program);
Command AddDiagnose(CLI::App& program);
Command AddStation(CLI::App& program);
Command AddUpload(CLI::App& program);
Command AddRestore(CLI::App& program);
Command AddUpgrade(CLI::App& program);
Command AddUpgradeStatus(CLI::App& program);
Command AddLogs(CLI::App& program);
Command AddStats(CLI::App& program);

// Reads res/setting.ini into the process-wide settings and selects the language. False (after the
// message) when the file is missing: the caller then ends with kExitNoSettings before anything else
// runs, so no command falls back to the built-in addresses. (The GUI ends with 0 after its box; a
// script needs to tell a missing configuration from success.)
bool LoadSettingsOrExplain();

// Who logs in: --user/--password, else ORVA_USER/ORVA_PASSWORD, else (on a terminal) asked.
void SetCredentials(std::optional<std::string> user, std::optional<std::string> password);

// What every command but identify does first, as the GUI does before its main window: the instance
// guard, the log file, the login (online, then offline). Nothing when the command may go on, with the
// user name as the operator; otherwise the exit code to end with.
std::optional<int> EnterTool(std::string& operatorName);

} // namespace orva::cli

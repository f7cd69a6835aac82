#pragma once
// Shared pieces of the orva-cli commands: exit codes, option lookup, start-up.
#include <optional>
#include <string>
#include <vector>

namespace orva::cli {

// Exit codes. Those of a diagnosis: 0 all passed, 1 finished with faults, 2 did not finish.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFaults = 1;
inline constexpr int kExitNotFinished = 2;
inline constexpr int kExitUsage = 64;         // bad command line, or prompts without a terminal
inline constexpr int kExitOtherInstance = 75; // another copy holds the program directory
inline constexpr int kExitLoginFailed = 77;
inline constexpr int kExitNoSettings = 78; // EX_CONFIG: res/setting.ini is missing

// The words after the command name, with "--name value" and "--name=value" options.
class Args {
public:
    explicit Args(std::vector<std::string> words) : words_(std::move(words)) {}
    // Takes the option's value out of the list; nullopt when absent. `missingValue` is set when the
    // option was given without a value.
    std::optional<std::string> take(const std::string& name, bool& missingValue);
    bool takeFlag(const std::string& name);
    // Words left over (unknown options or stray arguments).
    const std::vector<std::string>& rest() const { return words_; }

private:
    std::vector<std::string> words_;
};

// Reads res/setting.ini into the process-wide settings and selects the language. False (after the
// message) when the file is missing: the caller then ends with kExitNoSettings before anything else
// runs, so no command falls back to the built-in addresses. (The GUI ends with 0 after its box; a
// script needs to tell a missing configuration from success.)
bool LoadSettingsOrExplain();

// Who logs in: --user/--password, else ORVA_USER/ORVA_PASSWORD.
void SetCredentials(std::optional<std::string> user, std::optional<std::string> password);

// What every command but identify does first, as the GUI does before its main window: the instance
// guard, the log file, the login (online, then offline). Returns -1 to go on, with the user name as
// the operator, or the exit code to end with.
int EnterTool(std::string& operatorName);

int RunIdentify(Args& args);
int RunDiagnose(Args& args);
int RunUpload(Args& args);
int RunRestore(Args& args);
int RunUpgrade(Args& args);
int RunLogs(Args& args);

} // namespace orva::cli

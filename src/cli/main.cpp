// orva-cli: the diagnosis tool without windows, for test lines and scripts.
//   orva-cli [--dir DIR] [--user U] [--password P] COMMAND [options]; orva-cli COMMAND --help for each.
#include "cli/CliCommon.h"

#include "core/app/ProgramDirectory.h"

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace {

using namespace orva::cli;

constexpr const char* kFooter =
    "Every command but identify takes the program directory's lock, opens orva.log and logs in first\n"
    "(online, then offline against the users who logged in online before). The user and password may\n"
    "also come from ORVA_USER and ORVA_PASSWORD; on a terminal a missing password is asked for.\n"
    "\n"
    "Exit codes: 0 done, 1 faults or failures (a finished diagnosis whose record was not stored, records\n"
    "left in uploads), 2 not finished (no gateway answered, cancelled), 64 usage, 75 another copy uses the\n"
    "program directory, 77 login failed, 78 res/setting.ini missing.\n"
    "\n"
    "Environment: ORVA_HOME (the program directory), ORVA_USER, ORVA_PASSWORD.";

// Where the command is: the first word that is no option nor the value of --user or --password.
std::optional<size_t> CommandIndex(const std::vector<std::string>& words) {
    for (size_t i = 0; i < words.size(); ++i) {
        if (words[i] == "--user" || words[i] == "--password") {
            ++i;
            continue;
        }
        if (words[i].rfind("-", 0) != 0)
            return i;
    }
    return std::nullopt;
}

// "help" and "help COMMAND" as the same as --help: on standard output, exit 0.
std::vector<std::string> WithHelpWordsAsOptions(int argc, char** argv) {
    std::vector<std::string> words(argv + 1, argv + argc);
    if (const std::optional<size_t> at = CommandIndex(words); at && words[*at] == "help") {
        words.erase(words.begin() + static_cast<long>(*at));
        words.push_back("--help");
    }
    return words;
}

} // namespace

int main(int argc, char** argv) {
    // A file-size limit reached by orva.log or orvalog.db must fail that write, not kill the process
    // in the middle of a diagnosis: the log drops the line, the store reports the error.
    std::signal(SIGXFSZ, SIG_IGN);
    orva::InitProgramDirectory(argc, argv);

    CLI::App program("orva-cli: diagnose and maintain EPON home gateways from a terminal or a script.", "orva-cli");
    program.require_subcommand(1);
    program.fallthrough(); // the login options may also follow the command
    program.footer(std::string(kFooter) + "\n\n" + orva::ProgramDirectoryHelp());
    program.get_formatter()->column_width(28);
    program.set_version_flag("--version", std::string("orva-cli ") + ORVA_VERSION + "\n" + orva::ProgramDirectoryLine());
    // --dir is taken off the command line before it is parsed; listed here for --help.
    std::string dir;
    program.add_option("--dir", dir, "the program directory (see below)")
        ->type_name("DIR");
    std::optional<std::string> user;
    std::optional<std::string> password;
    program.add_option("--user", user, "the user who logs in (the operator of every record)")->type_name("NAME");
    program.add_option("--password", password, "the password (others can read it in the process list)")
        ->type_name("PASSWORD");
    const std::vector<Command> commands = {AddIdentify(program), AddDiagnose(program),      AddStation(program),
                                           AddUpload(program),   AddRestore(program),       AddUpgrade(program),
                                           AddUpgradeStatus(program), AddLogs(program),     AddStats(program)};

    std::vector<std::string> words = WithHelpWordsAsOptions(argc, argv);
    const std::optional<size_t> at = CommandIndex(words);
    const std::optional<std::string> word = at ? std::optional<std::string>(words[*at]) : std::nullopt;
    const bool asksForHelp = std::find_if(words.begin(), words.end(), [](const std::string& w) {
                                 return w == "--help" || w == "-h" || w == "--version";
                             }) != words.end();
    if (!word && !asksForHelp) {
        std::fprintf(stderr, "%s", program.help().c_str());
        return kExitUsage;
    }
    if (word) {
        bool known = false;
        std::string names;
        for (const Command& c : commands) {
            known = known || c.app->get_name() == *word;
            names += (names.empty() ? "" : ", ") + c.app->get_name();
        }
        if (!known) {
            std::fprintf(stderr, "orva-cli: unknown command '%s' (commands: %s, help)\n", word->c_str(), names.c_str());
            return kExitUsage;
        }
    }
    try {
        std::vector<std::string> reversed(words.rbegin(), words.rend());
        program.parse(reversed);
    } catch (const CLI::ParseError& e) {
        if (e.get_exit_code() == 0)
            return program.exit(e); // --help, --version: standard output, 0
        std::fprintf(stderr, "orva-cli: %s\n(orva-cli --help, or orva-cli COMMAND --help, lists the options)\n",
                     e.what());
        return kExitUsage;
    }

    if (!LoadSettingsOrExplain())
        return kExitNoSettings;
    SetCredentials(user, password);
    for (const Command& c : commands)
        if (c.app->parsed())
            return c.run();
    return kExitUsage;
}

// orva-cli: the diagnosis tool without windows, for test lines and scripts.
//   orva-cli [--dir DIR] [--user U --password P] identify|diagnose|upload|restore|upgrade|logs [options]
#include "CliCommon.h"

#include "app/ProgramDirectory.h"

#include <csignal>
#include <cstdio>
#include <set>
#include <string>
#include <vector>

namespace {

void PrintUsage(std::FILE* to) {
    std::fprintf(to, "usage: orva-cli [--dir DIR] [--user U --password P] COMMAND [options]\n"
                     "commands:\n"
                     "  identify [--address A]      connect and read the gateway's identity\n"
                     "  diagnose [--address A] [--model M] [--answers yes|no|NAME=yes|no,...] [--json]\n"
                     "           [--reply-timeout SECONDS]\n"
                     "                              run a diagnosis (questions: uplink, led, ring1, dtmf1,\n"
                     "                              cng1, ring2, dtmf2, cng2, loop)\n"
                     "  upload                      send the stored records again\n"
                     "  restore [--address A] [--reply-timeout SECONDS]\n"
                     "                              restore every gateway on A's segment to factory defaults\n"
                     "                              (reply time-out 15 s); one line per gateway, then a count\n"
                     "  upgrade --image FILE        broadcast the image to UpgradeAddress, wait waittime, then\n"
                     "                              one line per gateway; Ctrl-C cancels the transfer\n"
                     "  logs [--sn X | --device-type X | --operator X | --from YYYY-MM-DD --to YYYY-MM-DD]\n"
                     "       [--json] [--xls FILE]  the stored records as the query page lists them, newest\n"
                     "                              first (default: today's); --json an array of objects,\n"
                     "                              --xls a spreadsheet of the same rows\n"
                     "exit codes: 0 done (all passed and stored, restored or upgraded), 1 some faults or failures\n"
                     "  (a finished diagnosis that could not be stored included),\n"
                     "  2 not finished (or no gateway answered), 64 usage, 75 another copy runs, 77 login failed,\n"
                     "  78 res/setting.ini missing\n"
                     "user and password also come from ORVA_USER and ORVA_PASSWORD.\n");
}

} // namespace

int main(int argc, char** argv) {
    using namespace orva::cli;
    // A file-size limit reached by orva.log or orvalog.db must fail that write, not kill the process
    // in the middle of a diagnosis: the log drops the line, the store reports the error.
    std::signal(SIGXFSZ, SIG_IGN);
    orva::InitProgramDirectory(argc, argv);
    // The command is the first word that is neither an option nor an option's value.
    static const std::set<std::string> kValueOptions = {
        "--user",        "--password", "--address", "--model", "--answers", "--reply-timeout", "--image", "--sn",
        "--device-type", "--operator", "--from",    "--to",    "--xls"};
    std::vector<std::string> rest;
    std::string command;
    for (int i = 1; i < argc; ++i) {
        std::string w = argv[i];
        if (command.empty() && !w.empty() && w[0] != '-') {
            command = w;
            continue;
        }
        rest.push_back(w);
        if (kValueOptions.count(w) && i + 1 < argc)
            rest.push_back(argv[++i]);
    }
    if (command.empty() || command == "help") {
        PrintUsage(command.empty() ? stderr : stdout);
        return command.empty() ? kExitUsage : kExitOk;
    }
    if (!LoadSettingsOrExplain())
        return kExitNoSettings;
    Args args(rest);
    bool missing = false;
    std::optional<std::string> user = args.take("user", missing);
    std::optional<std::string> password = args.take("password", missing);
    if (missing) {
        PrintUsage(stderr);
        return kExitUsage;
    }
    SetCredentials(user, password);
    if (command == "identify")
        return RunIdentify(args);
    if (command == "diagnose")
        return RunDiagnose(args);
    if (command == "upload")
        return RunUpload(args);
    if (command == "restore")
        return RunRestore(args);
    if (command == "upgrade")
        return RunUpgrade(args);
    if (command == "logs")
        return RunLogs(args);
    std::fprintf(stderr, "orva-cli: unknown command '%s'\n", command.c_str());
    PrintUsage(stderr);
    return kExitUsage;
}

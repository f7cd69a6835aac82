// The steps before any work: one copy per program directory, the log, the login.
#include "cli/CliCommon.h"
#include "cli/Terminal.h"

#include "core/app/AppSettings.h"
#include "core/app/InstanceGuard.h"
#include "core/app/LogFile.h"
#include "core/app/ProgramDirectory.h"
#include "core/web/LoginService.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace orva::cli {
namespace {

std::optional<std::string> g_user;
std::optional<std::string> g_password;
// Held until the process ends, like the GUI's.
std::unique_ptr<InstanceGuard> g_guard;

std::string FromEnv(const char* name) {
    const char* v = std::getenv(name);
    return v ? v : "";
}

} // namespace

void SetCredentials(std::optional<std::string> user, std::optional<std::string> password) {
    g_user = std::move(user);
    g_password = std::move(password);
}

std::optional<int> EnterTool(std::string& operatorName) {
    g_guard = std::make_unique<InstanceGuard>();
    if (g_guard->heldElsewhere()) {
        std::fprintf(stderr, "orva-cli: another copy of the tool is using %s (lock %s)\n", ProgramDirectory().c_str(),
                     g_guard->lockPath().c_str());
        return kExitOtherInstance;
    }
    // No lock file can be made (a read-only program directory): that is no other copy, so the work goes
    // on, and whatever cannot be written there is reported where it happens.
    if (!g_guard->acquired())
        std::fprintf(stderr, "orva-cli: cannot create the lock %s (%s); going on without the single-copy guard\n",
                     g_guard->lockPath().c_str(), std::strerror(g_guard->openError()));
    const std::string logPath = JoinPath(ProgramDirectory(), "orva.log");
    if (!LogFile::instance().open(logPath))
        std::fprintf(stderr, "orva-cli: cannot open the log %s\n", logPath.c_str());

    LoginInput input;
    input.loginUrl = Settings().LoginURL;
    input.version = Settings().Version;
    input.userName = g_user ? *g_user : FromEnv("ORVA_USER");
    if (input.userName.empty())
        input.userName = AskLine("user: ").value_or("");
    if (input.userName.empty()) {
        std::fprintf(stderr, "login failed: no user name: give --user NAME (or set ORVA_USER)\n");
        return kExitLoginFailed;
    }
    input.password = g_password ? *g_password : FromEnv("ORVA_PASSWORD");
    // On a terminal the password is asked for without echo rather than taken from the command line,
    // where every user of the machine can read it in the process list.
    if (!g_password && std::getenv("ORVA_PASSWORD") == nullptr)
        input.password = AskHidden("password for " + input.userName + ": ").value_or("");
    input.programDir = ProgramDirectory();
    input.runNet = Settings().RunNet;
    LoginResult result = LoginService(input).Login();
    if (!result.loggedIn()) {
        std::fprintf(stderr, "login failed: %s\n",
                     result.message.empty() ? kOfflineFallbackText : result.message.c_str());
        if (result.outcome == LoginOutcome::OfflineFailed || result.outcome == LoginOutcome::OfflineUnavailable)
            std::fprintf(stderr, "(the login service did not answer; offline login knows only users who have "
                                 "logged in online once from %s)\n",
                         ProgramDirectory().c_str());
        return kExitLoginFailed;
    }
    if (result.outcome != LoginOutcome::UpdateOffered && !result.message.empty())
        std::fprintf(stderr, "%s\n", result.message.c_str());
    if (result.outcome == LoginOutcome::UpdateOffered) // printed, never downloaded
        std::fprintf(stderr, "a newer version %s is offered%s%s (not downloaded)\n", result.offeredVersion.c_str(),
                     result.downloadUrlFound ? " at " : "", result.downloadUrl.c_str());
    operatorName = input.userName;
    return std::nullopt;
}

} // namespace orva::cli

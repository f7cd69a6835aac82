// orva-cli restore: every gateway on the segment back to its factory configuration.
#include "cli/CliCommon.h"
#include "cli/OptionChecks.h"
#include "cli/Terminal.h"

#include "core/app/AppSettings.h"
#include "core/maintenance/MaintenanceTexts.h"
#include "core/maintenance/RestoreSession.h"
#include "core/protocol/CommandChannel.h"

#include <cstdio>
#include <memory>
#include <mutex>
#include <string>

namespace orva::cli {
namespace {

// The page's default reply time-out; the restore keeps whatever the channel has.
constexpr int kRestoreReplyTimeout = 15;

// Prints each result line as it arrives; the counts are the session's, of distinct gateways (lines
// stop at a cap, and a repeating gateway gives one line).
class RestorePrinter final : public RestoreView {
public:
    void restoreResult(const std::string& line) override {
        std::lock_guard lock(mutex_);
        std::printf("%s\n", line.c_str());
        std::fflush(stdout);
    }
    void restoreSummary(const GatewayCount& count) override {
        std::lock_guard lock(mutex_);
        count_ = count;
    }
    GatewayCount count() const {
        std::lock_guard lock(mutex_);
        return count_;
    }

private:
    mutable std::mutex mutex_;
    GatewayCount count_;
};

struct RestoreOptions {
    std::string address;
    int replyTimeout = kRestoreReplyTimeout;
    bool yes = false;
};

int RunRestore(const RestoreOptions& o) {
    const std::string address = o.address.empty() ? Settings().MaintenanceAddress : o.address;
    // Every gateway of the segment loses its configuration: a person is asked, a script must say so.
    const std::string segment = RestoreSegment(address);
    if (!o.yes) {
        if (!StdinIsTerminal()) {
            UsageError("restore resets every gateway on " + segment +
                       " to its factory defaults; give --yes to do it without a terminal to ask on");
            return kExitUsage;
        }
        if (!Confirm("Every gateway on " + segment +
                     " will be restored to its factory defaults and lose its configuration. Continue?")) {
            std::fprintf(stderr, "nothing was sent\n");
            return kExitNotFinished;
        }
    }
    std::string operatorName;
    if (const std::optional<int> code = EnterTool(operatorName))
        return *code;

    CommandChannel::Instance().SetReplyTimeout(o.replyTimeout);
    RestorePrinter printer;
    {
        RestoreSession session(printer);
        if (!session.start(address)) {
            std::fprintf(stderr, "orva-cli: the restore could not be started\n");
            return kExitNotFinished;
        }
        session.wait();
    }
    const GatewayCount count = printer.count();
    std::printf("%zu gateways answered: %zu restored, %zu failed\n", count.answered, count.succeeded, count.failed);
    if (count.known > 0)
        std::printf("roll-call: %zu gateways known, %zu restored, %zu never answered\n", count.known,
                    count.knownSucceeded, count.neverAnswered);
    std::fflush(stdout);
    if (count.answered == 0)
        return kExitNotFinished;
    if (count.failed > 0)
        return kExitFaults;
    // With a roll-call, a known gateway that never answered is one that was not restored.
    return count.known > 0 && !count.everyKnownSucceeded() ? kExitFaults : kExitOk;
}

} // namespace

Command AddRestore(CLI::App& program) {
    auto options = std::make_shared<RestoreOptions>();
    CLI::App* app = program.add_subcommand("restore", "Restore every gateway of a segment to factory defaults");
    app->add_option("--address", options->address,
                    "a gateway of the segment A.B.C.0/24 (default: MaintenanceAddress)")
        ->type_name("ADDRESS")
        ->check(Ipv4Address());
    app->add_option("--reply-timeout", options->replyTimeout, "seconds to wait for each reply (default 15)")
        ->type_name("SECONDS")
        ->check(Seconds());
    app->add_flag("-y,--yes", options->yes, "do not ask (needed when standard input is no terminal)");
    app->footer("One line per gateway that answered, then a count of them.\n"
                "A roll-call first asks the segment who is there (rollcalltime seconds of setting.ini, 0: none);\n"
                "its gateways are listed first, and each of them that never answered the restore gets a line.\n"
                "Exit: 0 every gateway that answered restored, 1 some failed, 2 none answered or not confirmed,\n"
                "64 usage. With a roll-call: 0 only when every gateway of the roll-call restored and none failed,\n"
                "1 when one of them failed or never answered.");
    return {app, [options] { return RunRestore(*options); }};
}

} // namespace orva::cli

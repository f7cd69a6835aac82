// orva-cli restore: every gateway on the segment back to its factory configuration.
#include "CliCommon.h"

#include "app/AppSettings.h"
#include "app/LeadingNumber.h"
#include "maintenance/MaintenanceTexts.h"
#include "maintenance/RestoreSession.h"
#include "protocol/CommandChannel.h"

#include <cstdio>
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

} // namespace

int RunRestore(Args& args) {
    bool missing = false;
    std::optional<std::string> address = args.take("address", missing);
    std::optional<std::string> replyTimeout = args.take("reply-timeout", missing);
    if (missing || !args.rest().empty()) {
        std::fprintf(stderr, "usage: orva-cli [--dir DIR] [--user U --password P] restore [--address A] "
                             "[--reply-timeout SECONDS]\n");
        return kExitUsage;
    }
    int timeout = kRestoreReplyTimeout;
    if (replyTimeout) {
        timeout = LeadingInt(*replyTimeout);
        if (timeout <= 0) {
            std::fprintf(stderr, "orva-cli: --reply-timeout needs a number of seconds above 0\n");
            return kExitUsage;
        }
    }
    std::string operatorName;
    if (int code = EnterTool(operatorName); code >= 0)
        return code;

    CommandChannel::Instance().SetReplyTimeout(timeout);
    RestorePrinter printer;
    {
        RestoreSession session(printer);
        if (!session.start(address ? *address : Settings().MaintenanceAddress)) {
            std::fprintf(stderr, "orva-cli: the restore could not be started\n");
            return kExitNotFinished;
        }
        session.wait();
    }
    const GatewayCount count = printer.count();
    std::printf("%zu gateways answered: %zu restored, %zu failed\n", count.answered, count.succeeded, count.failed);
    std::fflush(stdout);
    if (count.answered == 0)
        return kExitNotFinished;
    return count.failed > 0 ? kExitFaults : kExitOk;
}

} // namespace orva::cli

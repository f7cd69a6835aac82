// The session of orva-cli upgrade and upgrade-status as it runs in the command's thread.
#include "cli/UpgradeRun.h"

#include "cli/CliCommon.h"
#include "cli/StopSignals.h"

#include "core/app/AppSettings.h"
#include "core/app/Notifier.h"

#include "core/maintenance/UpgradeSession.h"

#include <unistd.h>

#include <cstdio>
#include <mutex>
#include <string>
#include <thread>

namespace orva::cli {
namespace {

constexpr int kBarWidth = 40;

// Progress as a bar on a terminal, as percentage lines in a pipe or file; then the result lines.
class UpgradePrinter final : public UpgradeView {
public:
    explicit UpgradePrinter(bool terminal) : terminal_(terminal) {}

    void progressChanged(int percent) override {
        std::lock_guard lock(mutex_);
        // Called once per datagram: print only when the figure moves. A 0 is the session going back
        // to idle (also after a failed image, before anything was sent), never progress worth a line.
        if (percent == lastPercent_ || percent == 0)
            return;
        lastPercent_ = percent;
        if (terminal_) {
            const int filled = percent * kBarWidth / 100;
            std::printf("\r[%s%s] %3d%%", std::string(static_cast<size_t>(filled), '#').c_str(),
                        std::string(static_cast<size_t>(kBarWidth - filled), ' ').c_str(), percent);
            barShown_ = true;
        } else {
            std::printf("%d%%\n", percent);
        }
        std::fflush(stdout);
    }
    void statusChanged(const std::string& text) override {
        std::lock_guard lock(mutex_);
        endBar();
        std::printf("%s\n", text.c_str());
        std::fflush(stdout);
    }
    void resultLine(const std::string& line) override {
        std::lock_guard lock(mutex_);
        endBar();
        std::printf("%s\n", line.c_str());
        std::fflush(stdout);
    }
    // Distinct gateways, shown or not: unknown, failed and other statuses are not upgrades.
    void resultSummary(const GatewayCount& count) override {
        std::lock_guard lock(mutex_);
        count_ = count;
    }
    void transferFailed(const std::string&) override {
        std::lock_guard lock(mutex_);
        endBar();
        transferFailed_ = true; // the message is already on standard error
    }

    GatewayCount count() const {
        std::lock_guard lock(mutex_);
        return count_;
    }
    bool transferHasFailed() const {
        std::lock_guard lock(mutex_);
        return transferFailed_;
    }

private:
    void endBar() {
        if (barShown_)
            std::printf("\n");
        barShown_ = false;
    }

    const bool terminal_;
    mutable std::mutex mutex_;
    int lastPercent_ = -1;
    bool barShown_ = false;
    GatewayCount count_;
    bool transferFailed_ = false;
};

// The transfer thread writes each failure line to standard error itself before it raises its box, so
// that box would print the same text twice: boxes from any thread but the one running the command
// (the cancel's, which have no line of their own) are left to that line.
class UpgradeNotifier final : public Notifier {
public:
    explicit UpgradeNotifier(Notifier& plain) : plain_(plain), owner_(std::this_thread::get_id()) {}
    void messageBox(const std::string& text, const std::string& caption) override {
        if (std::this_thread::get_id() == owner_)
            plain_.messageBox(text, caption);
    }
    bool askYesNo(const std::string& text, const std::string& caption) override {
        return plain_.askYesNo(text, caption);
    }
    bool askOkCancel(const std::string& text, const std::string& caption) override {
        return plain_.askOkCancel(text, caption);
    }
    void fatalExit(const std::string& text, int exitCode) override { plain_.fatalExit(text, exitCode); }

private:
    Notifier& plain_;
    const std::thread::id owner_;
};

} // namespace

int RunUpgradeSession(UpgradeRunKind kind, const std::string& imagePath) {
    StopSignals signals;
    if (!signals.ok())
        return kExitNotFinished;

    UpgradePrinter printer(::isatty(STDOUT_FILENO) == 1);
    UpgradeNotifier boxes(notifier());
    setNotifier(&boxes);
    bool cancelled = false;
    bool abandoned = false;
    {
        UpgradeSession session(printer);
        session.setImagePath(imagePath);
        if (kind == UpgradeRunKind::Transfer ? session.startTransfer() : session.startStatusQuery()) {
            // The session reports through the printer; this thread only waits for the end or Ctrl-C.
            while (session.running()) {
                if (signals.waitForStop(50) && !cancelled) {
                    // Like the cancel button: no further datagram, the gateways are told to drop the
                    // image. During the status check there is nothing to cancel; the check ends by itself.
                    if (session.cancel()) {
                        cancelled = true;
                    } else if (!session.transferring()) {
                        abandoned = true; // the status check is dropped with the session
                        break;
                    }
                }
            }
            if (!abandoned)
                session.wait();
        }
    }
    setNotifier(nullptr);
    std::fflush(stdout);

    if (cancelled || abandoned || printer.transferHasFailed())
        return kExitNotFinished;
    const GatewayCount count = printer.count();
    const size_t unknown = count.unknown;
    std::printf("%zu gateways answered: %zu upgraded, %zu failed, %zu unknown\n", count.answered, count.succeeded,
                count.failed, unknown);
    if (count.answered == 0)
        std::printf("no gateway answered the upgrade check at %s\n", Settings().UpgradeAddress.c_str());
    if (count.known > 0)
        std::printf("roll-call: %zu gateways known, %zu upgraded, %zu never answered\n", count.known,
                    count.knownSucceeded, count.neverAnswered);
    std::fflush(stdout);
    if (count.answered == 0)
        return kExitNotFinished;
    if (count.failed > 0 || unknown > 0)
        return kExitFaults;
    // With a roll-call, a known gateway that never answered is one that did not upgrade.
    return count.known > 0 && !count.everyKnownSucceeded() ? kExitFaults : kExitOk;
}


} // namespace orva::cli

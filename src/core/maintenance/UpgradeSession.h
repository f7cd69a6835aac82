#pragma once
// The image upgrade of every gateway on a segment: the image is broadcast to `UpgradeAddress` port
// 54321 in paced datagrams; then, after `waittime` seconds for the gateways to reboot, the status
// query "QUERY_UPGRADE_MSG" goes to port 50003 and each gateway that answers within
// `updatelistentime` seconds gets one result line. A running transfer can be cancelled; the gateways
// are then told "HG_UPGRADE_CANCEL".
//
// Phases: idle -> transferring -> checking -> idle. A cancel while transferring returns to idle at
// once. A transfer that fails (missing or unreadable file, socket error) is reported and returns to
// idle; it never ends the program.
//
// Before the image leaves, a roll-call (RollCall.h, `rollcalltime` seconds) asks the segment who is
// there. With gateways known, the check ends as soon as every one of them has answered, and each that
// never answered gets a closing line; without, the check listens its whole `updatelistentime` as ever.
#include "core/maintenance/GatewayReplies.h"
#include "core/maintenance/ImageTransfer.h"
#include "core/maintenance/RollCall.h"

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <stop_token>
#include <string>
#include <thread>

namespace orva {

struct ReplySource;

// The front end of an upgrade (the upgrade page, the CLI). Calls come from the session's worker
// thread, or from the thread that calls cancel() for the cancel's own updates. progressChanged is
// called once per datagram and should not block on a busy UI thread: a GUI posts it. The other calls
// may be forwarded synchronously.
class UpgradeView {
public:
    virtual ~UpgradeView() = default;
    // Integer percentage of the image already sent (0-100); 0 again when the page returns to idle.
    virtual void progressChanged(int /*percent*/) {}
    // Shows the status label with this text.
    virtual void statusChanged(const std::string& /*text*/) {}
    virtual void statusHidden() {}
    // The transfer button: disabled while a session runs, enabled when it is back to idle.
    virtual void transferEnabled(bool /*enabled*/) {}
    // One gateway answered the status query; lines come in arrival order, one per gateway (repeats
    // give none). Past GatewayReplies::kShownGateways gateways no line comes, and the last line, after
    // the listen, says how many more answered.
    virtual void resultLine(const std::string& /*line*/) {}
    // After the status listen and its lines: the distinct gateways that answered, shown or not
    // ("succeeded" are those that reported UPGRADE_SUCCESS), and the roll-call's figures. Not called
    // when the check was abandoned.
    virtual void resultSummary(const GatewayCount& /*count*/) {}
    // The transfer failed with this text (already shown in a message box, logged and written to
    // standard error); the session returns to idle.
    virtual void transferFailed(const std::string& /*message*/) {}
};

class UpgradeSession {
public:
    explicit UpgradeSession(UpgradeView& view);
    // Abandons whatever runs (no cancel command, no further view calls) and waits for the thread.
    ~UpgradeSession();
    UpgradeSession(const UpgradeSession&) = delete;
    UpgradeSession& operator=(const UpgradeSession&) = delete;

    // The image file chosen by the technician; it stays chosen for further transfers.
    void setImagePath(const std::string& path);
    std::string imagePath() const;

    // The transfer button. Without an image chosen: message box "请选择镜像", false. While a session
    // runs: nothing, false. Otherwise the transfer starts: true.
    bool startTransfer();
    // The status check alone, without a transfer. False while a session runs.
    bool startCheck();
    // The status query again, at once: no image, no wait for a reboot. It uses the roll-call of the
    // last transfer, and takes one first when this session has none. False while a session runs.
    bool startStatusQuery();
    // The cancel button. Without a running transfer (also while checking): message box
    // "当前未有传输", false, nothing changes. Otherwise no further image datagram is sent, "已经终止传输" is
    // shown and "HG_UPGRADE_CANCEL" goes to the gateways once; true once all that is done. Neither the
    // cancel nor the check touches the channel's settings: each sends to a target of its own.
    bool cancel();

    // True from the start of a transfer (or check) until the session is idle again; the main window
    // reads it to keep the page.
    bool running() const { return running_.load(); }
    bool transferring() const;
    // Blocks until the session is idle.
    void wait();

private:
    enum class Phase { Idle, Transferring, Checking, Finishing };

    void transferThread(std::stop_token stop, std::shared_ptr<SendGate> gate, std::string path);
    void checkPhase(std::stop_token stop, bool afterReboot = true);
    // Asks the segment who is there and shows it; worker only.
    void takeRollCall(std::stop_token stop);
    void failTransfer(std::stop_token stop, std::string line);
    void handleStatusReply(const std::string& reply, const ReplySource& from, GatewayReplies& gateways,
                           Attendance& attendance);
    // The last view calls of a session, then the phase drops to idle.
    void returnToIdle();
    void setIdle();
    bool beginSession(Phase phase);

    UpgradeView& view_;
    // Serialises the control operations (start, cancel); the worker never takes it.
    std::mutex controlMutex_;
    mutable std::mutex mutex_;
    std::condition_variable idle_;
    Phase phase_ = Phase::Idle;
    std::atomic<bool> running_{false};
    std::string imagePath_;
    std::shared_ptr<SendGate> gate_;
    // The last roll-call. Only workers touch it, and a worker starts after the previous one is joined.
    RollCall rollCall_;
    // Its stop token ends the transfer or check under way (cancel, destruction).
    std::jthread worker_;
};

} // namespace orva

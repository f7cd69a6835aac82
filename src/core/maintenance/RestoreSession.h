#pragma once
// Restores every gateway on a LAN segment to its factory configuration at once: "HG_REVOCERY_PRECONFIG"
// goes to the segment's broadcast address, and each gateway that answers within `resetlistentime`
// seconds gets one result line. One restore runs at a time. Before the restore a roll-call
// (RollCall.h, `rollcalltime` seconds) asks the segment who is there; its lines come first, and every
// gateway it knew that never answered the restore gets a closing line.
#include "core/maintenance/GatewayReplies.h"
#include "core/protocol/ExchangeTarget.h"

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

namespace orva {

// The front end of a restore (the restore page, the CLI). Every call comes from the restore thread,
// which waits until it returns; a GUI forwards each call to its UI thread.
class RestoreView {
public:
    virtual ~RestoreView() = default;
    // The restore has begun: the start button is disabled.
    virtual void restoreStarted() {}
    // One gateway answered; lines come in arrival order, one per gateway (repeats give none). Past
    // GatewayReplies::kShownGateways gateways no line comes, and the last line, after the listen, says
    // how many more answered.
    virtual void restoreResult(const std::string& line) = 0;
    // After the listen and its lines, before restoreFinished: the distinct gateways that answered, all
    // of them, shown or not ("succeeded" are those that restored), and the roll-call's figures.
    virtual void restoreSummary(const GatewayCount& /*count*/) {}
    // The listen time has passed: the start button is enabled again. running() turns false right after
    // this call returns.
    virtual void restoreFinished() {}
};

// The segment a restore of `gatewayAddress` reaches, as a technician reads it ("192.168.1.0/24"): the
// broadcast goes to the first three parts of the address with 255, so every gateway of that /24 restores.
std::string RestoreSegment(const std::string& gatewayAddress);

class RestoreSession {
public:
    // The reply time-out a restore uses when nobody has set the channel's yet (the diagnosis page
    // normally sets it when it is built).
    static constexpr int kDefaultReplyTimeout = 15;

    explicit RestoreSession(RestoreView& view);
    // Abandons a running restore (no further view calls) and waits for its thread.
    ~RestoreSession();
    RestoreSession(const RestoreSession&) = delete;
    RestoreSession& operator=(const RestoreSession&) = delete;

    // Starts a restore of the segment of `gatewayAddress` (its last dotted part replaced by 255), on
    // port 7998 with the listen time `resetlistentime`; the channel's reply time-out stays as set, and
    // one never set becomes kDefaultReplyTimeout. The channel is left on that segment, port and listen
    // time; the restore takes them as its target here, so later changes reach only later restores.
    // False, and nothing started, while a restore runs.
    bool start(const std::string& gatewayAddress);
    // True from start() until the restore has ended; the main window reads it to keep the page.
    bool running() const { return running_.load(); }
    // Blocks until no restore runs.
    void wait();

private:
    void run(std::stop_token stop, ExchangeTarget segment, int rollCallSeconds);

    RestoreView& view_;
    std::mutex mutex_;
    std::condition_variable idle_;
    std::atomic<bool> running_{false};
    std::jthread worker_;
};

} // namespace orva

// The upgrade status check of 253 simulated gateways: the time from the last gateway's reply to the
// end of the check. With a roll-call the check ends once every known gateway has answered (goal: under
// 100 ms); without one it listens its whole updatelistentime, as it always has.
//   bench_roll_call [LISTEN_SECONDS]   (default: the updatelistentime default; simulator on 127.0.76.1)
// Run it inside a network namespace with only loopback: unshare -n sh -c 'ip link set lo up && ...'.
#include "core/app/AppSettings.h"
#include "core/maintenance/UpgradeSession.h"
#include "sim/GatewaySimulator.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>

namespace {

using Clock = std::chrono::steady_clock;

constexpr const char* kGateway = "127.0.76.1";
constexpr const char* kSegment = "127.0.76.255";
constexpr int kGateways = 253;

// Notes when the last result line of a gateway came.
class TimingView final : public orva::UpgradeView {
public:
    void resultLine(const std::string& line) override {
        if (line.find("SN = ") != 0)
            return; // the roll-call's own lines
        std::lock_guard lock(mutex_);
        last_ = Clock::now();
        ++results_;
    }
    void resultSummary(const orva::GatewayCount& count) override {
        std::lock_guard lock(mutex_);
        count_ = count;
    }
    Clock::time_point last() const {
        std::lock_guard lock(mutex_);
        return last_;
    }
    orva::GatewayCount count() const {
        std::lock_guard lock(mutex_);
        return count_;
    }

private:
    mutable std::mutex mutex_;
    Clock::time_point last_{};
    size_t results_ = 0;
    orva::GatewayCount count_;
};

struct Figure {
    double lastReplyToEndMs = 0;
    double wholeMs = 0;
    orva::GatewayCount count;
};

Figure CheckOnce(int rollCallSeconds, int listenSeconds) {
    orva::AppSettings settings;
    settings.UpgradeAddress = kSegment;
    settings.MaintenanceAddress = kGateway;
    settings.waittime = 0;
    settings.updatelistentime = listenSeconds;
    settings.rollcalltime = rollCallSeconds;
    orva::SetSettings(settings);

    TimingView view;
    orva::UpgradeSession session(view);
    const auto begin = Clock::now();
    if (!session.startStatusQuery()) {
        std::fprintf(stderr, "the check did not start\n");
        std::exit(1);
    }
    session.wait();
    const auto end = Clock::now();
    Figure f;
    f.lastReplyToEndMs = std::chrono::duration<double, std::milli>(end - view.last()).count();
    f.wholeMs = std::chrono::duration<double, std::milli>(end - begin).count();
    f.count = view.count();
    return f;
}

} // namespace

int main(int argc, char** argv) {
    const int listen = argc > 1 ? std::atoi(argv[1]) : orva::AppSettings{}.updatelistentime;
    const int rollCall = orva::AppSettings{}.rollcalltime;
    orva::sim::Options options;
    options.address = kGateway;
    options.gateways = kGateways;
    options.sn = "BENCH";
    orva::sim::GatewaySimulator sim(options);
    const orva::Result<void> startup = sim.start();
    if (!startup) {
        std::fprintf(stderr, "simulator: %s\n", startup.error().c_str());
        return 1;
    }

    const Figure ours = CheckOnce(rollCall, listen);
    const Figure today = CheckOnce(0, listen);
    sim.stop();

    std::printf("upgrade check of %d simulated gateways, updatelistentime %d s, one run each\n", kGateways, listen);
    std::printf("%-34s %12s %12s %9s %7s\n", "", "last reply", "whole run", "answered", "known");
    std::printf("%-34s %9.1f ms %9.1f ms %9zu %7zu\n", "with a roll-call", ours.lastReplyToEndMs,
                ours.wholeMs, ours.count.answered, ours.count.known);
    std::printf("%-34s %9.1f ms %9.1f ms %9zu %7zu\n", "without (listens updatelistentime)", today.lastReplyToEndMs,
                today.wholeMs, today.count.answered, today.count.known);
    std::printf("goal: under 100 ms from the last reply to the end of the check: %s\n",
                ours.lastReplyToEndMs < 100 ? "met" : "missed");
    return ours.count.answered == kGateways && today.count.answered == kGateways ? 0 : 1;
}

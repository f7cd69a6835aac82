#include "core/maintenance/RestoreSession.h"

#include "core/app/AppSettings.h"
#include "core/maintenance/MaintenanceTexts.h"
#include "core/maintenance/ResultLines.h"
#include "core/protocol/CommandChannel.h"
#include "core/protocol/DeviceCommands.h"
#include "core/protocol/ReplyFields.h"

#include <ctime>

namespace orva {

namespace {
constexpr int kRestorePort = 7998;
}

RestoreSession::RestoreSession(RestoreView& view) : view_(view) {}

RestoreSession::~RestoreSession() {
    worker_.request_stop();
    if (worker_.joinable())
        worker_.join();
}

bool RestoreSession::start(const std::string& gatewayAddress) {
    std::lock_guard lock(mutex_);
    if (running_)
        return false;
    running_ = true;
    // A finished restore thread has made its last call already; joining it takes no time.
    if (worker_.joinable())
        worker_.join();
    worker_ = std::jthread([this](std::stop_token stop, std::string address) { run(stop, std::move(address)); },
                           SegmentBroadcastAddress(gatewayAddress));
    return true;
}

void RestoreSession::wait() {
    std::unique_lock lock(mutex_);
    idle_.wait(lock, [this] { return !running_; });
}

void RestoreSession::run(std::stop_token stop, std::string broadcastAddress) {
    view_.restoreStarted();
    auto& channel = CommandChannel::Instance();
    channel.SetAddress(broadcastAddress);
    channel.SetPort(kRestorePort);
    channel.SetListenTime(Settings().resetlistentime);

    GatewayReplies gateways;
    DeviceCommands::RestorePreconfig(
        [this, &gateways](const std::string& reply, const ReplySource& from) {
            ReplyFields fields;
            fields.ParseReplyFields(reply, " ");
            std::string status;
            std::string sn;
            if (!fields.Field("STATUS", status))
                return; // no line, and no gateway either
            fields.Field("SN", sn);
            if (gateways.add(from.address, sn, status == maintenance_text::kRestoreSuccessStatus) !=
                GatewayReplies::Verdict::Show)
                return;
            if (auto line = RestoreResultLine(fields.Fields(), std::time(nullptr)))
                view_.restoreResult(*line);
        },
        stop);

    // An abandoned restore reports nothing more.
    if (!stop.stop_requested()) {
        if (auto more = gateways.closingLine(maintenance_text::kRestoreMoreGateways))
            view_.restoreResult(*more);
        view_.restoreSummary(gateways.count());
        view_.restoreFinished();
    }
    {
        std::lock_guard lock(mutex_);
        running_ = false;
    }
    idle_.notify_all();
}

std::string RestoreSegment(const std::string& gatewayAddress) {
    const auto dot = gatewayAddress.rfind('.');
    return (dot == std::string::npos ? gatewayAddress : gatewayAddress.substr(0, dot)) + ".0/24";
}

} // namespace orva

#include "core/maintenance/RestoreSession.h"

#include "core/app/AppSettings.h"
#include "core/maintenance/MaintenanceTexts.h"
#include "core/maintenance/ResultLines.h"
#include "core/maintenance/RollCall.h"
#include "core/protocol/CommandChannel.h"
#include "core/protocol/CommandTexts.h"
#include "core/protocol/DeviceCommands.h"
#include "core/protocol/ReplyFields.h"

#include <ctime>

namespace orva {

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
    // The channel keeps the segment, its port and the listen time after a restore, as it always has;
    // the restore itself sends to the target it takes here, whatever the settings become meanwhile.
    auto& channel = CommandChannel::Instance();
    channel.SetAddress(SegmentBroadcastAddress(gatewayAddress));
    channel.SetPort(Info(Command::RestorePreconfig).gatewayPort);
    channel.SetListenTime(Settings().resetlistentime);
    // The channel refuses to wait without a reply time-out; one never set gets the tool's default.
    if (channel.ReplyTimeout() < 0)
        channel.SetReplyTimeout(kDefaultReplyTimeout);
    worker_ = std::jthread([this](std::stop_token stop, ExchangeTarget segment,
                                  int rollCallSeconds) { run(stop, std::move(segment), rollCallSeconds); },
                           channel.Target(), Settings().rollcalltime);
    return true;
}

void RestoreSession::wait() {
    std::unique_lock lock(mutex_);
    idle_.wait(lock, [this] { return !running_; });
}

void RestoreSession::run(std::stop_token stop, ExchangeTarget segment, int rollCallSeconds) {
    view_.restoreStarted();

    // Before anything is restored: afterwards a gateway that has lost its configuration may answer
    // nothing at all.
    const RollCall rollCall = TakeRollCall(segment, rollCallSeconds, stop);
    if (!stop.stop_requested())
        for (const std::string& line : RollCallLines(rollCall))
            view_.restoreResult(line);
    Attendance attendance(rollCall);

    GatewayReplies gateways;
    if (!stop.stop_requested())
        DeviceCommands::RestorePreconfig(
            segment,
            [this, &gateways, &attendance](const std::string& reply, const ReplySource& from) {
                ReplyFields fields;
                fields.ParseReplyFields(reply, " ");
                std::string status;
                std::string sn;
                if (!fields.Field("STATUS", status))
                    return; // no line, and no gateway either
                fields.Field("SN", sn);
                const bool restored = status == maintenance_text::kRestoreSuccessStatus;
                const GatewayReplies::Verdict verdict = gateways.add(from.address, sn, restored);
                if (verdict == GatewayReplies::Verdict::Repeat)
                    return;
                attendance.mark(from.address, sn, restored);
                if (verdict != GatewayReplies::Verdict::Show)
                    return;
                if (auto line = RestoreResultLine(fields.Fields(), std::time(nullptr)))
                    view_.restoreResult(*line);
            },
            stop);

    // An abandoned restore reports nothing more.
    if (!stop.stop_requested()) {
        if (auto more = gateways.closingLine(maintenance_text::kRestoreMoreGateways))
            view_.restoreResult(*more);
        for (const KnownGateway& silent : attendance.silent())
            view_.restoreResult(NeverAnsweredLine(TextId::RestoreNeverAnswered, silent));
        GatewayCount count = gateways.count();
        CountAttendance(attendance, count);
        view_.restoreSummary(count);
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

#include "core/maintenance/UpgradeSession.h"

#include "core/app/AppSettings.h"
#include "core/app/LogFile.h"
#include "core/app/Notifier.h"
#include "core/maintenance/MaintenanceTexts.h"
#include "core/maintenance/ResultLines.h"
#include "core/protocol/CommandTexts.h"
#include "core/protocol/DeviceCommands.h"
#include "core/protocol/ReplyFields.h"

#include <chrono>
#include <cstdio>
#include <ctime>

namespace orva {

namespace text = maintenance_text;

namespace {

constexpr int kUpgradeReplyTimeout = 30;

// The segment the upgrade reaches, on `command`'s port: the session's own, never the channel's settings,
// which a diagnosis may be using meanwhile.
ExchangeTarget UpgradeTarget(Command command) {
    return ExchangeTarget{Settings().UpgradeAddress, static_cast<uint16_t>(Info(command).gatewayPort),
                          kUpgradeReplyTimeout, Settings().updatelistentime};
}

void Log(const char* tag, const std::string& message) {
    LogFile::instance().write(tag, message);
}

void LogTarget(const char* tag, const ExchangeTarget& target) {
    Log(tag, FormatText(text::kLogChannel, target.address.c_str(), static_cast<int>(target.port), target.replyTimeout));
}

std::string WithoutLineEnd(std::string line) {
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
        line.pop_back();
    return line;
}

// Sleeps for `seconds`, ending early on a stop request; false when stopped.
bool SleepSeconds(int seconds, const std::stop_token& stop) {
    std::mutex mutex;
    std::condition_variable_any cv;
    std::unique_lock lock(mutex);
    cv.wait_for(lock, stop, std::chrono::seconds(seconds > 0 ? seconds : 0), [] { return false; });
    return !stop.stop_requested();
}

} // namespace

UpgradeSession::UpgradeSession(UpgradeView& view) : view_(view) {}

UpgradeSession::~UpgradeSession() {
    std::lock_guard control(controlMutex_);
    worker_.request_stop();
    if (gate_)
        gate_->close();
    if (worker_.joinable())
        worker_.join();
}

void UpgradeSession::setImagePath(const std::string& path) {
    std::lock_guard lock(mutex_);
    imagePath_ = path;
}

std::string UpgradeSession::imagePath() const {
    std::lock_guard lock(mutex_);
    return imagePath_;
}

bool UpgradeSession::transferring() const {
    std::lock_guard lock(mutex_);
    return phase_ == Phase::Transferring;
}

void UpgradeSession::wait() {
    std::unique_lock lock(mutex_);
    idle_.wait(lock, [this] { return phase_ == Phase::Idle; });
}

bool UpgradeSession::beginSession(Phase phase) {
    {
        std::lock_guard lock(mutex_);
        if (phase_ != Phase::Idle)
            return false;
        phase_ = phase;
        running_ = true;
    }
    // The previous worker has made its last view call (or was cancelled and sends nothing more).
    if (worker_.joinable())
        worker_.join();
    gate_ = std::make_shared<SendGate>();
    return true;
}

bool UpgradeSession::startTransfer() {
    std::lock_guard control(controlMutex_);
    const std::string path = imagePath();
    if (path.empty()) {
        notifier().messageBox(text::kNoImageChosen);
        return false;
    }
    if (!beginSession(Phase::Transferring))
        return false;
    view_.statusChanged(text::kStatusTransferring);
    view_.transferEnabled(false);
    worker_ = std::jthread([this, gate = gate_, path](std::stop_token stop) { transferThread(stop, gate, path); });
    return true;
}

bool UpgradeSession::startCheck() {
    std::lock_guard control(controlMutex_);
    if (!beginSession(Phase::Checking))
        return false;
    view_.transferEnabled(false);
    worker_ = std::jthread([this](std::stop_token stop) { checkPhase(stop); });
    return true;
}

bool UpgradeSession::startStatusQuery() {
    std::lock_guard control(controlMutex_);
    if (!beginSession(Phase::Checking))
        return false;
    view_.transferEnabled(false);
    worker_ = std::jthread([this](std::stop_token stop) {
        if (rollCall_.empty())
            takeRollCall(stop);
        if (stop.stop_requested())
            return;
        checkPhase(stop, false);
    });
    return true;
}

void UpgradeSession::takeRollCall(std::stop_token stop) {
    rollCall_ = TakeRollCall(UpgradeTarget(Command::QuerySystemInfo), Settings().rollcalltime, stop);
    if (stop.stop_requested())
        return;
    for (const std::string& line : RollCallLines(rollCall_)) {
        Log(text::kTagRollCall, line);
        view_.resultLine(line);
    }
}

bool UpgradeSession::cancel() {
    std::lock_guard control(controlMutex_);
    bool transferRunning = false;
    {
        std::lock_guard lock(mutex_);
        if (phase_ == Phase::Transferring) {
            // Under the lock, so the worker either sees the stop or has already left the transfer.
            phase_ = Phase::Finishing;
            worker_.request_stop();
            transferRunning = true;
        }
    }
    if (!transferRunning) {
        notifier().messageBox(text::kNoTransferRunning);
        return false;
    }
    // Waits for a send under way; after this no image datagram leaves.
    gate_->close();

    view_.transferEnabled(true);
    view_.progressChanged(0);
    notifier().messageBox(text::kTransferCancelled);

    Log(text::kTagCancel, text::kLogCancel);
    view_.statusChanged(text::kStatusCancelled);
    const ExchangeTarget segment = UpgradeTarget(Command::CancelUpgrade);
    LogTarget(text::kTagCancel, segment);
    DeviceCommands::CancelUpgrade(segment);
    view_.statusHidden();
    setIdle();
    return true;
}

void UpgradeSession::transferThread(std::stop_token stop, std::shared_ptr<SendGate> gate, std::string path) {
    TransferResult result;
    // A transfer that fails before its own roll-call must not leave the last transfer's for the
    // status query after it.
    rollCall_ = RollCall{};
    {
        const Result<std::string> loaded = LoadImageFile(path);
        if (!loaded)
            return failTransfer(stop, loaded.error());
        const std::string& image = loaded.value();
        std::printf("file total length = %u\n", static_cast<unsigned>(image.size()));
        std::fflush(stdout);

        // Who is there, before any gateway starts taking the image.
        takeRollCall(stop);
        if (stop.stop_requested())
            return; // the cancel (or the session's end) does the rest

        ImageTransferOptions options;
        options.address = Settings().UpgradeAddress;
        // The image goes to the port the gateways take their upgrade on, where the cancel goes too.
        options.port = static_cast<uint16_t>(Info(Command::CancelUpgrade).gatewayPort);
        options.interval = PacingInterval(Settings().upgradeinterval);
        result = SendImage(
            image, options,
            [&](int percent) {
                if (!stop.stop_requested())
                    view_.progressChanged(percent);
            },
            stop, gate.get());
        // The image leaves memory here, before the long wait for the gateways.
    }
    switch (result.outcome) {
    case TransferOutcome::Stopped:
        return; // the cancel (or the session's end) does the rest
    case TransferOutcome::Failed:
        return failTransfer(stop, result.failureLine);
    case TransferOutcome::Completed:
        break;
    }
    {
        std::lock_guard lock(mutex_);
        if (stop.stop_requested())
            return;
        phase_ = Phase::Checking;
    }
    // The bar shows the share sent before each datagram; once the last one is out, all of it is.
    view_.progressChanged(100);
    view_.statusChanged(text::kStatusRebooting);
    Log(text::kTagCheck, text::kLogCheckStarting);
    checkPhase(stop);
}

void UpgradeSession::failTransfer(std::stop_token stop, std::string line) {
    {
        std::lock_guard lock(mutex_);
        if (stop.stop_requested())
            return;
        phase_ = Phase::Finishing;
    }
    std::fputs(line.c_str(), stderr);
    std::fflush(stderr);
    const std::string message = WithoutLineEnd(std::move(line));
    Log(text::kTagTransferFailed, message);
    notifier().messageBox(message);
    view_.transferFailed(message);
    returnToIdle();
}

void UpgradeSession::checkPhase(std::stop_token stop, bool afterReboot) {
    // The gateways reboot into the new image before they can answer.
    if (afterReboot && !SleepSeconds(Settings().waittime, stop))
        return;
    Log(text::kTagCheck, text::kLogCheckEntered);
    view_.statusChanged(text::kStatusChecking);
    GatewayReplies gateways;
    Attendance attendance(rollCall_);
    const ExchangeTarget segment = UpgradeTarget(Command::QueryUpgradeStatus);
    LogTarget(text::kTagCheck, segment);
    // With a roll-call the listen ends once every known gateway has answered; a stop of the session
    // ends it too.
    std::stop_source everyoneAnswered;
    std::stop_callback forwardStop(stop, [&everyoneAnswered] { everyoneAnswered.request_stop(); });
    const std::stop_token listenStop = attendance.known() > 0 ? everyoneAnswered.get_token() : stop;
    DeviceCommands::QueryUpgradeStatus(
        segment,
        [&](const std::string& reply, const ReplySource& from) {
            handleStatusReply(reply, from, gateways, attendance);
            if (attendance.complete())
                everyoneAnswered.request_stop();
        },
        listenStop);
    if (stop.stop_requested())
        return;
    if (auto more = gateways.closingLine(text::kUpgradeMoreGateways)) {
        Log(text::kTagCheck, *more);
        view_.resultLine(*more);
    }
    for (const KnownGateway& silent : attendance.silent()) {
        const std::string line = NeverAnsweredLine(TextId::UpgradeNeverAnswered, silent);
        Log(text::kTagCheck, line);
        view_.resultLine(line);
    }
    GatewayCount count = gateways.count();
    CountAttendance(attendance, count);
    view_.resultSummary(count);
    Log(text::kTagCheck, text::kLogCheckEnded);
    returnToIdle();
}

void UpgradeSession::handleStatusReply(const std::string& reply, const ReplySource& from, GatewayReplies& gateways,
                                       Attendance& attendance) {
    ReplyFields fields;
    fields.ParseReplyFields(reply, " ");
    std::string status;
    std::string sn;
    if (!fields.Field("STATUS", status) || !fields.Field("SN", sn))
        return;
    const bool upgraded = status == text::kUpgradeSuccessStatus;
    // A repeat is neither shown nor logged again, and neither is a gateway past the lines shown: a
    // flood of replies must not fill the log either.
    const GatewayReplies::Verdict verdict =
        gateways.add(from.address, sn, upgraded, status == text::kUpgradeUnknownStatus);
    if (verdict == GatewayReplies::Verdict::Repeat)
        return;
    attendance.mark(from.address, sn, upgraded);
    if (verdict != GatewayReplies::Verdict::Show)
        return;
    const std::time_t now = std::time(nullptr);
    // Every reply that gets this far was delivered by the exchange, hence "SUCC".
    Log(text::kTagCheck, FormatText(text::kLogReplyState, "SUCC"));
    Log(text::kTagReply, status + "  " + sn);
    if (auto line = UpgradeResultLine(fields.Fields(), now))
        view_.resultLine(*line);
}

void UpgradeSession::returnToIdle() {
    view_.transferEnabled(true);
    view_.progressChanged(0);
    view_.statusHidden();
    setIdle();
}

void UpgradeSession::setIdle() {
    {
        std::lock_guard lock(mutex_);
        phase_ = Phase::Idle;
        running_ = false;
    }
    idle_.notify_all();
}

} // namespace orva

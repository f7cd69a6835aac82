// The diagnosis worker: connect, identify, then every item the template selects, in item order.
#include "app/HostMacAddress.h"
#include "app/IniFile.h"
#include "app/TextTable.h"
#include "diagnosis/DiagnosisMessages.h"
#include "diagnosis/DiagnosisSession.h"
#include "diagnosis/Prompts.h"
#include "diagnosis/SessionRun.h"
#include "protocol/DeviceCommands.h"
#include "records/RecordStore.h"

#include <chrono>
#include <condition_variable>
#include <ctime>
#include <functional>
#include <mutex>
#include <thread>

namespace orva {
namespace {

// How long the STOP that closes a test mode of a stopped run may wait for its reply.
constexpr std::chrono::milliseconds kClosingStopWait{2000};

constexpr const char* kSeparator = "------------------------------------------------";

std::string NowText() {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    return text;
}

const int kLanPrompts[] = {WM_DIAG_LAN1_PROMPT, WM_DIAG_LAN2_PROMPT, WM_DIAG_LAN3_PROMPT, WM_DIAG_LAN4_PROMPT};

int* LanField(DiagRecord& r, int port) {
    switch (port) {
    case 1:
        return &r.FE1Check;
    case 2:
        return &r.FE2Check;
    case 3:
        return &r.FE3Check;
    default:
        return &r.FE4Check;
    }
}

// A telephone or uplink test the gateway was told to START and not yet to STOP. Should the run be
// stopped in between, the gateway would stay in its test mode (ringing, playing a tone, the optical
// test) until someone restarts it: the guard sends the STOP as the run unwinds. That exchange has a
// short wait of its own, since the stop token that ended the run would cancel it before it left; its
// reply is not judged.
class OpenTestMode {
public:
    using StopCommand = std::function<void(DeviceReply&, std::stop_token)>;

    explicit OpenTestMode(std::stop_token runStop) : runStop_(std::move(runStop)) {}
    ~OpenTestMode() {
        if (stopCommand_ && runStop_.stop_requested())
            sendStop();
    }
    OpenTestMode(const OpenTestMode&) = delete;
    OpenTestMode& operator=(const OpenTestMode&) = delete;

    // Just before the START goes out.
    void opened(StopCommand stopCommand) { stopCommand_ = std::move(stopCommand); }
    // The STOP went out in the run's own course, or the gateway refused to start.
    void closed() { stopCommand_ = nullptr; }

private:
    void sendStop() {
        std::stop_source deadline;
        std::mutex mutex;
        std::condition_variable_any cv;
        std::jthread timer([&](std::stop_token done) {
            std::unique_lock lock(mutex);
            if (!cv.wait_for(lock, done, kClosingStopWait, [] { return false; }) && !done.stop_requested())
                deadline.request_stop();
        });
        DeviceReply scratch;
        stopCommand_(scratch, deadline.get_token());
        timer.request_stop();
    }

    std::stop_token runStop_;
    StopCommand stopCommand_;
};

} // namespace

void DiagnosisSession::runDiagnosis(std::shared_ptr<Run> runPtr, std::stop_token stop) {
    Run& run = *runPtr;

    // 2. Connect on the identity port, watched by the watchdog.
    run.reply.Clear();
    armWatchdog(runPtr);
    DeviceCommands::Connect(run.gateway, run.reply, stop);
    if (stop.stop_requested())
        return; // stopped, timed out or superseded: the run was ended by whoever asked
    if (run.reply.Get("RET") == "ERROR") {
        onConnectError(run);
        return;
    }
    {
        std::lock_guard lock(mutex_);
        if (run.endClaimed)
            return;
        run.connected = true;
    }
    disarmWatchdog(run);
    onConnected(run);

    // 4. A fresh record for this run.
    run.potsAnswers.fill(true);
    run.record = DiagRecord{};
    run.record.Operator = run.operatorName;
    std::string mac;
    if (HostMacAddress(mac))
        run.record.Mac = mac;
    {
        std::lock_guard lock(run.dataMutex);
        run.faults.clear();
    }

    // 5. Identity.
    std::string serial = DeviceCommands::QueryDeviceType(run.gateway, stop);
    std::string productClass = DeviceCommands::QueryProductClass(run.gateway, stop);
    if (stop.stop_requested())
        return;
    {
        std::lock_guard lock(run.dataMutex);
        run.serial = serial;
        run.productClass = productClass;
    }
    run.record.sn = serial;
    run.record.DeviceType = productClass;
    if (!onIdentity(run))
        return;

    // 6. Heading rows of this diagnosis on the all-logs tab.
    appendRow(run, LogTab::All, kSeparator, kSeparator);
    appendRow(run, LogTab::All, "检测设备：" + productClass, "SN:" + serial + ",诊断时间：" + NowText());

    // 7, 8. Hardware items on their port, then the software items.
    if (!runHardwareItems(run, stop))
        return;
    if (!runSoftwareItems(run, stop))
        return;

    // 9. Finish: no checkpoint any more.
    finishRun(run);
}

bool DiagnosisSession::ask(Run& run, std::stop_token stop, int questionId, int port) {
    const Prompt prompt = PromptFor(questionId, port, run.tmpl.model);
    {
        std::lock_guard lock(mutex_);
        if (!live(run))
            return false;
        open_ = prompt;
    }
    show(run, [&](DiagnosisView& v) { v.showPrompt(prompt); });
    if (questionId == WM_DIAG_LED_JUDGE)
        show(run, [](DiagnosisView& v) { v.scrollToItem(14); });
    if (questionId == WM_DIAG_UPLINK_RESULT)
        show(run, [](DiagnosisView& v) { v.scrollToItem(12); });
    const bool answered = run.events.at(questionId)->wait(stop);
    {
        std::lock_guard lock(mutex_);
        if (open_ && open_->questionId == questionId && current_.get() == &run)
            open_.reset();
    }
    if (!answered || stop.stop_requested())
        return false;
    std::pair<AnswerKind, int> given{AnswerKind::Ack, 0};
    {
        std::lock_guard lock(run.answerMutex);
        auto it = run.answers.find(questionId);
        if (it != run.answers.end()) {
            given = it->second;
            run.answers.erase(it);
        }
    }
    if (given.first != AnswerKind::Ack)
        applyAnswer(run, questionId, given.first, given.second);
    return !stop.stop_requested();
}

bool DiagnosisSession::runHardwareItems(Run& run, std::stop_token stop) {
    const DeviceTemplate& t = run.tmpl;
    DeviceReply& reply = run.reply;
    DiagRecord& rec = run.record;
    auto checkpoint = [&] { return !stop.stop_requested(); };
    auto succ = [&] { return reply.Get("STATUS") == kHardwareSucc; };

    for (int port = 1; port <= 4; ++port) {
        if (!t.selects(port))
            continue;
        if (!checkpoint())
            return false;
        itemRunning(run, port);
        reply.Clear();
        if (!ask(run, stop, kLanPrompts[port - 1]))
            return false;
        const bool ok = DeviceCommands::DiagLanPort(run.gateway, reply, port, stop);
        if (stop.stop_requested())
            return false;
        if (ok && succ())
            *LanField(rec, port) = reply.Get("FESTATUS") == "OK" ? CheckPassed : CheckFailed;
        onLanResult(run, port);
    }

    const bool potsStartStop = !SkipsPotsStartStop(t.model);
    OpenTestMode openTest(stop);
    if (potsStartStop) {
        if (!checkpoint())
            return false;
        reply.Clear();
        openTest.opened([&run](DeviceReply& r, std::stop_token t) { DeviceCommands::DiagPotsStop(run.gateway, r, t); });
        DeviceCommands::DiagPotsStart(run.gateway, reply, stop);
        if (stop.stop_requested())
            return false;
        if (reply.Get("STATUS") == kHardwareFail) {
            openTest.closed(); // refused: the gateway is not in its telephone test
            onPotsStartFailed(run);
            return false;
        }
    }

    struct PotsStep {
        int item;
        int promptId;
        int judgeId;
        bool (*command)(const ExchangeTarget&, DeviceReply&, int, std::stop_token);
    };
    const PotsStep steps[] = {
        {5, WM_DIAG_RING_PROMPT, WM_DIAG_RING_JUDGE, &DeviceCommands::DiagPotsRingOn},
        {6, WM_DIAG_DTMF_PROMPT, WM_DIAG_DTMF_JUDGE, &DeviceCommands::DiagPotsPlayDtmf},
        {7, WM_DIAG_CNG_PROMPT, WM_DIAG_CNG_JUDGE, &DeviceCommands::DiagPotsCngTone},
    };
    for (int port = 1; port <= 2; ++port) {
        for (const PotsStep& step : steps) {
            const int item = step.item + (port - 1) * 3;
            if (!t.selects(item))
                continue;
            if (!checkpoint())
                return false;
            itemRunning(run, item);
            reply.Clear();
            if (!ask(run, stop, step.promptId, port))
                return false;
            step.command(run.gateway, reply, port - 1, stop);
            if (stop.stop_requested())
                return false;
            if (!ask(run, stop, step.judgeId, port))
                return false;
            if (step.promptId == WM_DIAG_CNG_PROMPT) {
                const size_t base = static_cast<size_t>(port - 1) * 3;
                if (run.potsAnswers[base] && run.potsAnswers[base + 1] && run.potsAnswers[base + 2])
                    (port == 1 ? rec.POS1Check : rec.POS2Check) = CheckPassed;
            }
        }
    }

    if (t.selects(11)) {
        if (!checkpoint())
            return false;
        itemRunning(run, 11);
        reply.Clear();
        if (!ask(run, stop, WM_DIAG_LOOP_PROMPT))
            return false;
        DeviceCommands::DiagPotsCallLoop(run.gateway, reply, stop);
        if (stop.stop_requested())
            return false;
        if (!ask(run, stop, WM_DIAG_LOOP_JUDGE))
            return false;
    }

    if (potsStartStop) {
        if (!checkpoint())
            return false;
        reply.Clear();
        DeviceCommands::DiagPotsStop(run.gateway, reply, stop);
        if (stop.stop_requested())
            return false;
        openTest.closed();
    }

    if (t.selects(12)) {
        if (!checkpoint())
            return false;
        itemRunning(run, 12);
        reply.Clear();
        if (!ask(run, stop, WM_DIAG_UPLINK_PROMPT))
            return false;
        if (IsDslModel(t.model)) {
            const bool ok = DeviceCommands::DiagUplink(run.gateway, reply, "START", stop);
            if (stop.stop_requested())
                return false;
            if (ok && succ())
                rec.PONCheck = CheckPassed;
            onDslUplinkResult(run);
        } else {
            openTest.opened(
                [&run](DeviceReply& r, std::stop_token t) { DeviceCommands::DiagUplink(run.gateway, r, "STOP", t); });
            DeviceCommands::DiagUplink(run.gateway, reply, "START", stop);
            if (stop.stop_requested())
                return false;
            if (!ask(run, stop, WM_DIAG_UPLINK_RESULT))
                return false;
            reply.Clear();
            DeviceCommands::DiagUplink(run.gateway, reply, "STOP", stop);
            if (stop.stop_requested())
                return false;
            openTest.closed();
        }
    }

    if (t.selects(13)) {
        if (!checkpoint())
            return false;
        itemRunning(run, 13);
        reply.Clear();
        const bool ok = DeviceCommands::DiagFlash(run.gateway, reply, stop);
        if (stop.stop_requested())
            return false;
        if (ok && succ())
            rec.FlashCheck = CheckPassed;
        onFlashResult(run);
    }

    if (t.selects(14)) {
        if (!checkpoint())
            return false;
        itemRunning(run, 14);
        reply.Clear();
        if (!ask(run, stop, WM_DIAG_LED_PROMPT))
            return false;
        DeviceCommands::DiagLed(run.gateway, reply, "ON", stop);
        if (stop.stop_requested())
            return false;
        if (!ask(run, stop, WM_DIAG_LED_JUDGE))
            return false;
        reply.Clear();
        DeviceCommands::DiagLed(run.gateway, reply, "OFF", stop);
        if (stop.stop_requested())
            return false;
    }

    if (t.selects(15)) {
        if (!checkpoint())
            return false;
        itemRunning(run, 15);
        reply.Clear();
        const bool ok = DeviceCommands::DiagUsb(run.gateway, reply, stop);
        if (stop.stop_requested())
            return false;
        rec.USBCheck = ok && succ() ? CheckPassed : CheckFailed;
        onUsbResult(run);
    }

    if (t.selects(16)) {
        if (!checkpoint())
            return false;
        itemRunning(run, 16);
        reply.Clear();
        const bool ok = DeviceCommands::DiagWifi(run.gateway, reply, stop);
        if (stop.stop_requested())
            return false;
        rec.WifiCheck = ok && succ() ? CheckPassed : CheckFailed;
        onWifiResult(run);
    }
    return !stop.stop_requested();
}

bool DiagnosisSession::runSoftwareItems(Run& run, std::stop_token stop) {
    const DeviceTemplate& t = run.tmpl;
    DeviceReply& reply = run.reply;
    DiagRecord& rec = run.record;
    auto succ = [&] { return reply.Get("STATUS") == kSoftwareSucc; };
    // Each software item: checkpoint, clear, one command, the record, the result handler.
    auto item = [&](int number, bool (*command)(const ExchangeTarget&, DeviceReply&, std::stop_token), auto&& record,
                    void (DiagnosisSession::*handler)(Run&)) {
        if (!t.selects(number))
            return true;
        if (stop.stop_requested())
            return false;
        itemRunning(run, number);
        reply.Clear();
        const bool ok = command(run.gateway, reply, stop);
        if (stop.stop_requested())
            return false;
        record(ok && succ());
        (this->*handler)(run);
        return !stop.stop_requested();
    };
    return item(
               17, &DeviceCommands::DiagSoftwareVersion,
               [&](bool good) {
                   if (good)
                       rec.SoftWareVersionCheck = reply.Get("SOFTWAREVERSION");
               },
               &DiagnosisSession::onSoftwareVersionResult) &&
           item(
               18, &DeviceCommands::DiagKeyProcess,
               [&](bool good) {
                   if (good)
                       rec.PSCheck = reply.Get("KEYPROCESSCHECK");
               },
               &DiagnosisSession::onKeyProcessResult) &&
           item(
               19, &DeviceCommands::DiagSystemResource,
               [&](bool good) {
                   if (good) {
                       rec.CPULoadCheck = LeadingFloat(reply.Get("CPULOAD"));
                       rec.MemCheck = LeadingFloat(reply.Get("MEMLOAD"));
                   }
               },
               &DiagnosisSession::onSystemResourceResult) &&
           item(
               20, &DeviceCommands::DiagSoftwareArea, [](bool) {}, &DiagnosisSession::onAreaResult) &&
           item(
               21, &DeviceCommands::DiagConfigIntegrity,
               [&](bool good) {
                   if (good)
                       rec.PreConfigCheck = CheckPassed;
               },
               &DiagnosisSession::onIntegrityResult) &&
           item(
               22, &DeviceCommands::DiagDiskIntegrity,
               [&](bool good) {
                   if (good)
                       rec.DiskIntegrityCheck = CheckPassed;
               },
               &DiagnosisSession::onDiskResult);
}

void DiagnosisSession::finishRun(Run& run) {
    {
        std::lock_guard lock(mutex_);
        if (run.endClaimed)
            return; // stopped on the way here: nothing stored or reported
        run.finishing = true;
    }
    run.pending.push_back(run.record);
    pending_++;
    // Stored before anything says the run is over: the record is safe on disk, in logs and in uploads,
    // while the technician reads the closing box and while the report is out.
    SinkResult result = sink_.store(run.pending);
    {
        std::lock_guard lock(run.dataMutex);
        run.storedRecord = run.pending.back();
        run.stored = result.stored;
    }
    pending_ -= static_cast<int>(run.pending.size());

    std::vector<std::string> faults;
    {
        std::lock_guard lock(run.dataMutex);
        faults = run.faults;
    }
    for (const auto& fault : faults)
        show(run, [&](DiagnosisView& v) { v.addResult(fault); });
    appendRow(run, LogTab::All, " ", " ");
    onFinished(run);

    // A stop now (the window closing, Ctrl-C, abandonReport) abandons the request at once.
    show(run, [&](DiagnosisView& v) { v.reportStarting(); });
    sink_.report(run.pending, result, run.stop.get_token());
    {
        std::lock_guard lock(run.dataMutex);
        run.reported = result.accepted;
        run.keptForUpload = result.uploads == RecordStore::Stored;
        run.reportProblem = result.reportProblem;
    }
    run.pending.clear();
    returnToIdle(run);
    if (claimEnd(run, RunOutcome::Finished))
        markEnded(run, true);
}

} // namespace orva

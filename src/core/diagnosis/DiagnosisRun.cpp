// The diagnosis worker: connect, identify, then every item the template selects, in item order.
#include "core/app/ClockText.h"
#include "core/app/HostMacAddress.h"
#include "core/app/IniFile.h"
#include "core/app/TextTable.h"
#include "core/diagnosis/CheckRules.h"
#include "core/diagnosis/DiagnosisMessages.h"
#include "core/diagnosis/DiagnosisSession.h"
#include "core/diagnosis/Prompts.h"
#include "core/diagnosis/SessionRun.h"
#include "core/protocol/DeviceCommands.h"
#include "core/records/RecordStore.h"

#include <chrono>
#include <condition_variable>
#include <ctime>
#include <functional>
#include <mutex>
#include <string_view>
#include <thread>

namespace orva {
namespace {

// How long the STOP that closes a test mode of a stopped run may wait for its reply.
constexpr std::chrono::milliseconds kClosingStopWait{2000};

constexpr const char* kSeparator = "------------------------------------------------";

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

// The one place a check's DeviceCommands operation is called.
bool Send(const ExchangeTarget& gateway, DeviceReply& reply, const CommandCall& call, std::stop_token stop) {
    return !call.op || DeviceCommands::Exchange(gateway, reply, *call.op, call.port, call.method, std::move(stop));
}

const char* SuccessWord(const CheckItem& item) {
    return item.hardware() ? kHardwareSucc : kSoftwareSucc;
}

// Rows that fill one record field once all of them were answered (FillWhen::OnGroupYes) are neighbours.
bool SameGroup(const CheckItem& a, const CheckItem& b) {
    return a.steps.fill == FillWhen::OnGroupYes && b.steps.fill == FillWhen::OnGroupYes &&
           std::string_view(a.recordField) == b.recordField;
}

bool GroupEndsWith(const CheckItem& item) {
    return item.number == kCheckItemCount || !SameGroup(item, CheckItemAt(item.number + 1));
}

// Any item of the group that ends with `item` answered no (items not selected count as yes).
bool GroupAnsweredNo(const AnsweredNo& answeredNo, const CheckItem& item) {
    for (int n = item.number; n >= 1 && SameGroup(item, CheckItemAt(n)); --n)
        if (answeredNo[static_cast<size_t>(n)])
            return true;
    return false;
}

} // namespace

void DiagnosisSession::runDiagnosis(std::shared_ptr<Run> runPtr, std::stop_token stop) {
    Run& run = *runPtr;

    // Connect on the identity port, watched by the watchdog.
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
        MutexLock lock(mutex_);
        run.held(mutex_);
        if (run.endClaimed)
            return;
        run.connected = true;
    }
    disarmWatchdog(run);
    onConnected(run);

    // A fresh record for this run.
    run.answeredNo.fill(false);
    run.record = DiagRecord{};
    run.record.Operator = run.operatorName;
    std::string mac;
    if (HostMacAddress(mac))
        run.record.Mac = mac;
    {
        MutexLock lock(mutex_);
        run.held(mutex_);
        run.faults.clear();
    }

    // Identity.
    std::string serial = DeviceCommands::QueryDeviceType(run.gateway, stop);
    std::string productClass = DeviceCommands::QueryProductClass(run.gateway, stop);
    if (stop.stop_requested())
        return;
    {
        MutexLock lock(mutex_);
        run.held(mutex_);
        run.serial = serial;
        run.productClass = productClass;
    }
    run.record.sn = serial;
    run.record.DeviceType = productClass;
    if (!onIdentity(run))
        return;

    // Heading rows of this diagnosis on the all-logs tab.
    appendRow(run, LogTab::All, kSeparator, kSeparator);
    appendRow(run, LogTab::All, "检测设备：" + productClass, "SN:" + serial + ",诊断时间：" + LocalTimeText());

    // Hardware items on their port, then the software items.
    if (!runHardwareItems(run, stop))
        return;
    if (!runSoftwareItems(run, stop))
        return;

    // Finish: past here a stop no longer abandons the record.
    finishRun(run);
}

bool DiagnosisSession::ask(Run& run, std::stop_token stop, int questionId, int port, int scrollTo) {
    const Prompt prompt = PromptFor(questionId, port, run.tmpl.model);
    {
        MutexLock lock(mutex_);
        if (!liveLocked(run))
            return false;
        open_ = prompt;
    }
    show(run, [&](DiagnosisView& v) { v.questionOpened(prompt, scrollTo); });
    std::pair<AnswerKind, int> given{AnswerKind::Ack, 0};
    {
        MutexLock lock(mutex_);
        run.held(mutex_);
        const bool answered = answeredCv_.wait(lock, stop, [&]() REQUIRES(mutex_) {
            run.held(mutex_);
            return run.answers.count(questionId) != 0;
        });
        if (open_ && open_->questionId == questionId && current_.get() == &run)
            open_.reset();
        if (!answered || stop.stop_requested())
            return false;
        auto it = run.answers.find(questionId);
        given = it->second;
        run.answers.erase(it);
    }
    if (given.first != AnswerKind::Ack)
        applyAnswer(run, questionId, given.first, given.second);
    return !stop.stop_requested();
}

bool DiagnosisSession::runItem(Run& run, const CheckItem& item, std::stop_token stop) {
    if (!run.tmpl.selects(item.number))
        return true;
    if (stop.stop_requested())
        return false;
    const CheckSteps& steps = item.stepsFor(IsDslModel(run.tmpl.model));
    DeviceReply& reply = run.reply;
    itemRunning(run, item.number);
    reply.Clear();
    if (steps.prompt != 0 && !ask(run, stop, steps.prompt, item.questionPort))
        return false;

    OpenTestMode openTest(stop);
    if (steps.closeOnStop)
        openTest.opened([&run, &steps](DeviceReply& r, std::stop_token t) { Send(run.gateway, r, steps.close, t); });
    const bool ok = Send(run.gateway, reply, steps.command, stop);
    if (stop.stop_requested())
        return false;
    if (steps.judge != 0) {
        // The answer is judged and recorded as it comes in (applyAnswer).
        if (!ask(run, stop, steps.judge, item.questionPort, steps.scrolls ? item.number : 0))
            return false;
    } else {
        const bool succeeded = ok && reply.Get("STATUS") == SuccessWord(item);
        if (steps.set && (steps.fill == FillWhen::Always || (steps.fill == FillWhen::OnSuccess && succeeded)))
            steps.set(run.record, reply, succeeded);
        onItemResult(run, item.number, steps.fault, JudgeReply(steps, reply, SuccessWord(item)), steps.scrolls);
    }
    if (steps.fill == FillWhen::OnGroupYes && steps.set && GroupEndsWith(item) &&
        !GroupAnsweredNo(run.answeredNo, item))
        steps.set(run.record, reply, true);

    if (steps.close.op) {
        reply.Clear();
        Send(run.gateway, reply, steps.close, stop);
        if (stop.stop_requested())
            return false;
        openTest.closed();
    }
    return true;
}

bool DiagnosisSession::runHardwareItems(Run& run, std::stop_token stop) {
    // The telephone items run inside the gateway's telephone test, which most models start and stop
    // with commands of their own, whether or not any telephone item is selected.
    const bool potsStartStop = !SkipsPotsStartStop(run.tmpl.model);
    bool inTelephoneTest = false;
    OpenTestMode telephoneTest(stop);
    DeviceReply& reply = run.reply;
    auto startTelephoneTest = [&] {
        if (stop.stop_requested())
            return false;
        reply.Clear();
        telephoneTest.opened([&run](DeviceReply& r, std::stop_token t) { DeviceCommands::DiagPotsStop(run.gateway, r, t); });
        DeviceCommands::DiagPotsStart(run.gateway, reply, stop);
        if (stop.stop_requested())
            return false;
        if (reply.Get("STATUS") == kHardwareFail) {
            telephoneTest.closed(); // refused: the gateway is not in its telephone test
            onPotsStartFailed(run);
            return false;
        }
        return true;
    };
    auto stopTelephoneTest = [&] {
        if (stop.stop_requested())
            return false;
        reply.Clear();
        DeviceCommands::DiagPotsStop(run.gateway, reply, stop);
        if (stop.stop_requested())
            return false;
        telephoneTest.closed();
        return true;
    };

    for (const CheckItem& item : CheckItems()) {
        if (!item.hardware())
            break;
        if (item.telephone != inTelephoneTest) {
            inTelephoneTest = item.telephone;
            if (potsStartStop && !(inTelephoneTest ? startTelephoneTest() : stopTelephoneTest()))
                return false;
        }
        if (!runItem(run, item, stop))
            return false;
    }
    if (inTelephoneTest && potsStartStop && !stopTelephoneTest())
        return false;
    return !stop.stop_requested();
}

bool DiagnosisSession::runSoftwareItems(Run& run, std::stop_token stop) {
    for (const CheckItem& item : CheckItems()) {
        if (item.hardware())
            continue;
        if (!runItem(run, item, stop))
            return false;
    }
    return !stop.stop_requested();
}

void DiagnosisSession::finishRun(Run& run) {
    {
        MutexLock lock(mutex_);
        run.held(mutex_);
        if (run.endClaimed)
            return; // stopped on the way here: nothing stored or reported
        run.finishing = true;
    }
    run.pending.push_back(run.record);
    {
        MutexLock lock(mutex_);
        pending_++;
    }
    // Stored before anything says the run is over: the record is safe on disk, in logs and in uploads,
    // while the technician reads the closing box and while the report is out.
    SinkResult result = sink_.store(run.pending);
    {
        MutexLock lock(mutex_);
        run.held(mutex_);
        run.storedRecord = run.pending.back();
        run.stored = result.stored;
        pending_ -= static_cast<int>(run.pending.size());
    }

    std::vector<std::string> faults;
    {
        MutexLock lock(mutex_);
        run.held(mutex_);
        faults = run.faults;
    }
    show(run, [&](DiagnosisView& v) { v.faultsShown(faults); });
    appendRow(run, LogTab::All, " ", " ");
    onFinished(run);

    // A stop now (the window closing, Ctrl-C, abandonReport) abandons the request at once.
    show(run, [&](DiagnosisView& v) { v.reportStarting(); });
    sink_.report(run.pending, result, run.stop.get_token());
    {
        MutexLock lock(mutex_);
        run.held(mutex_);
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

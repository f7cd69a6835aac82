#include "core/diagnosis/DiagnosisSession.h"

#include "core/app/TextTable.h"
#include "core/diagnosis/DiagnosisMessages.h"
#include "core/diagnosis/SessionRun.h"
#include "core/protocol/CommandChannel.h"

namespace orva {
namespace {

constexpr const char* kModelConfirmed = "设备选择成功";

std::vector<bool> Ticks(const DeviceTemplate& t) {
    std::vector<bool> ticks;
    for (int n = 1; n <= kCheckItemCount; ++n)
        ticks.push_back(t.ticks(n));
    return ticks;
}

} // namespace

DiagnosisSession::Run::Run(Mutex& sessionMutex, unsigned long gen, DeviceTemplate t, std::string op)
    : mutex(sessionMutex), generation(gen), tmpl(std::move(t)), operatorName(std::move(op)) {}

DiagnosisSession::DiagnosisSession(DiagnosisView& view, RecordSink* sink, SessionOptions options)
    : view_(view), sink_(sink ? *sink : defaultSink_), options_(options),
      watchdog_([this](std::stop_token stop) { watchdogLoop(stop); }) {}

DiagnosisSession::~DiagnosisSession() {
    watchdog_.request_stop();
    if (watchdog_.joinable())
        watchdog_.join();
    std::vector<Worker> workers;
    {
        MutexLock lock(mutex_);
        generation_++; // nothing of any run reaches the view from now on
        if (worker_.thread.joinable())
            workers.push_back(std::move(worker_));
        for (auto& w : retired_)
            workers.push_back(std::move(w));
        retired_.clear();
    }
    for (auto& w : workers) {
        if (w.run)
            w.run->stop.request_stop();
        if (w.thread.joinable())
            w.thread.join();
    }
}

std::vector<std::string> DiagnosisSession::initialise() {
    CommandChannel::Instance().SetReplyTimeout(options_.replyTimeoutSeconds);
    std::vector<std::string> offered = OfferedModels(ReadModelList());
    DeviceTemplate t = LoadDeviceTemplate(kDefaultModel);
    MutexLock lock(mutex_);
    template_ = std::move(t);
    return offered;
}

DiagnosisSession::ConfirmResult DiagnosisSession::confirmModel(const std::string& model) {
    if (running()) {
        // The page keeps the running diagnosis's template; say so, not that a page cannot be left.
        view_.message(Text(TextId::ModelLockedDuringRun));
        return ConfirmResult::Refused;
    }
    ConfirmResult result = ConfirmResult::LoadedUnlisted;
    if (IsKnownModel(model)) {
        SetCurrentDeviceType(model);
        result = ConfirmResult::Confirmed;
    }
    DeviceTemplate t = LoadDeviceTemplate(model);
    const std::vector<bool> ticks = Ticks(t);
    {
        MutexLock lock(mutex_);
        template_ = std::move(t);
    }
    view_.itemsTicked(ticks);
    view_.message(kModelConfirmed);
    return result;
}

bool DiagnosisSession::deviceTypeChanged() {
    if (running())
        return false;
    DeviceTemplate t = LoadDeviceTemplate(CurrentDeviceType());
    const std::vector<bool> ticks = Ticks(t);
    {
        MutexLock lock(mutex_);
        template_ = std::move(t);
    }
    view_.itemsTicked(ticks);
    return true;
}

std::optional<DeviceTemplate> DiagnosisSession::deviceTemplate() const {
    MutexLock lock(mutex_);
    return template_;
}

void DiagnosisSession::setDeviceTemplate(std::optional<DeviceTemplate> t) {
    MutexLock lock(mutex_);
    template_ = std::move(t);
}

void DiagnosisSession::setOperator(const std::string& name) {
    MutexLock lock(mutex_);
    operator_ = name;
}

std::string DiagnosisSession::operatorName() const {
    MutexLock lock(mutex_);
    return operator_;
}

bool DiagnosisSession::start(const std::string& address) {
    bool haveTemplate = false;
    {
        MutexLock lock(mutex_);
        if (running_)
            return false; // one run at a time; the lists of the running one stay as they are
        haveTemplate = template_.has_value();
    }
    // A run whose record could not be stored would take the technician through every check for
    // nothing: the store's reason is shown (by the sink) before any command or question.
    if (haveTemplate && !sink_.ready())
        return false;

    std::vector<Worker> finished;
    std::shared_ptr<Run> run;
    {
        MutexLock lock(mutex_);
        if (running_)
            return false; // one run at a time; the lists of the running one stay as they are
        if (!template_) {
            run = nullptr;
        } else {
            // Workers that have returned can be joined without waiting.
            for (auto it = retired_.begin(); it != retired_.end();) {
                bool returned = !it->run;
                if (it->run) {
                    it->run->held(mutex_);
                    returned = it->run->done;
                }
                if (returned) {
                    finished.push_back(std::move(*it));
                    it = retired_.erase(it);
                } else {
                    ++it;
                }
            }
            run = std::make_shared<Run>(mutex_, ++generation_, *template_, operator_);
        }
    }
    for (auto& w : finished)
        if (w.thread.joinable())
            w.thread.join();
    if (!run) {
        view_.message(Text(TextId::DeviceTypeNotSet));
        return false;
    }

    CommandChannel::Instance().SetAddress(address);
    run->gateway = CommandChannel::Instance().Target();
    {
        MutexLock lock(mutex_);
        currentTab_.clear();
    }
    view_.runStarting(address);
    view_.runningChanged(true);

    MutexLock lock(mutex_);
    current_ = run;
    running_ = true;
    open_.reset();
    worker_.run = run;
    worker_.thread = std::jthread([this, run] {
        runDiagnosis(run, run->stop.get_token());
        MutexLock lock(mutex_);
        run->held(mutex_);
        run->done = true;
    });
    return true;
}

void DiagnosisSession::stop() {
    std::shared_ptr<Run> run;
    {
        MutexLock lock(mutex_);
        if (running_ && current_)
            run = current_;
    }
    if (!run || !claimEnd(*run, RunOutcome::Stopped)) {
        view_.message(Text(TextId::ThreadStopped));
        return;
    }
    disarmWatchdog(*run);
    {
        MutexLock lock(mutex_);
        running_ = false;
        open_.reset();
        if (worker_.run == run)
            retired_.push_back(std::move(worker_));
        worker_ = {};
    }
    view_.runningChanged(false);
    view_.questionClosed();
    view_.message(Text(TextId::CheckStopped));
    markEnded(*run, true);
}

bool DiagnosisSession::abandonReport() {
    MutexLock lock(mutex_);
    if (!current_)
        return false;
    current_->held(mutex_);
    if (!current_->finishing || current_->ended)
        return false;
    current_->stop.request_stop();
    return true;
}

bool DiagnosisSession::running() const {
    MutexLock lock(mutex_);
    return running_;
}

bool DiagnosisSession::connected() const {
    MutexLock lock(mutex_);
    if (!current_)
        return false;
    current_->held(mutex_);
    return current_->connected;
}

int DiagnosisSession::pendingRecords() const {
    MutexLock lock(mutex_);
    return pending_;
}

std::optional<Prompt> DiagnosisSession::openPrompt() const {
    MutexLock lock(mutex_);
    return open_;
}

bool DiagnosisSession::answer(bool ok) {
    std::optional<Prompt> open = openPrompt();
    if (!open)
        return false;
    if (open->mode == 0) {
        // The cancel key does nothing on an information prompt: the run still waits for its OK.
        if (!ok)
            return false;
        return deliver(AnswerKind::Ack, open->questionId, 0);
    }
    return deliver(ok ? AnswerKind::Yes : AnswerKind::No, open->questionId, open->value);
}

bool DiagnosisSession::promptAck(int questionId) {
    if (!IsAcknowledgePrompt(questionId)) {
        view_.message(" OnInfoDlgRet error ");
        return false;
    }
    return deliver(AnswerKind::Ack, questionId, 0);
}

bool DiagnosisSession::promptYes(int questionId, int value) {
    if (!IsJudgeQuestion(questionId)) {
        view_.message(" OnJudgeYes error ");
        return false;
    }
    return deliver(AnswerKind::Yes, questionId, value);
}

bool DiagnosisSession::promptNo(int questionId, int value) {
    if (!IsJudgeQuestion(questionId)) {
        view_.message("msg:" + std::to_string(questionId) + ",OnJudgeNo error");
        return false;
    }
    return deliver(AnswerKind::No, questionId, value);
}

bool DiagnosisSession::deliver(AnswerKind kind, int questionId, int value) {
    std::shared_ptr<Run> run;
    {
        MutexLock lock(mutex_);
        // Only the question the run waits on takes an answer: a late click on a prompt of an ended or
        // earlier question must not leave an event set for a later wait.
        if (!current_ || !open_ || open_->questionId != questionId)
            return false;
        current_->held(mutex_);
        if (current_->endClaimed)
            return false;
        run = current_;
        open_.reset();
        run->held(mutex_);
        run->answers[questionId] = {kind, value};
    }
    answeredCv_.notify_all();
    return true;
}

RunSummary DiagnosisSession::lastRun() const {
    std::shared_ptr<Run> run;
    RunSummary s;
    {
        MutexLock lock(mutex_);
        run = current_;
        if (!run)
            return s;
        run->held(mutex_);
        s.started = true;
        s.ended = run->ended;
        s.outcome = run->outcome;
        s.serial = run->serial;
        s.productClass = run->productClass;
        s.checks = run->checks;
        s.faults = run->faults;
        s.record = run->storedRecord;
        s.stored = run->stored;
        s.reported = run->reported;
        s.keptForUpload = run->keptForUpload;
        s.reportProblem = run->reportProblem;
    }
    return s;
}

bool DiagnosisSession::waitForRunEnd(std::chrono::milliseconds timeout) const {
    MutexLock lock(mutex_);
    return endedCv_.wait_for(lock, timeout, [this]() REQUIRES(mutex_) {
        if (!current_)
            return true;
        current_->held(mutex_);
        return current_->ended;
    });
}

std::vector<LogRow> DiagnosisSession::logRows(LogTab tab) const {
    MutexLock lock(mutex_);
    return tab == LogTab::Current ? currentTab_.rows() : allTab_.rows();
}

bool DiagnosisSession::live(const Run& run) const {
    MutexLock lock(mutex_);
    return liveLocked(run);
}

bool DiagnosisSession::liveLocked(const Run& run) const {
    return run.generation == generation_ && !run.stop.stop_requested();
}

bool DiagnosisSession::latest(const Run& run) const {
    MutexLock lock(mutex_);
    return run.generation == generation_;
}

bool DiagnosisSession::claimEnd(Run& run, RunOutcome outcome, bool onlyIfUnconnected) {
    MutexLock lock(mutex_);
    run.held(mutex_);
    if (run.endClaimed || (onlyIfUnconnected && run.connected))
        return false;
    // A run past its last check ends as finished, whoever asks.
    if (run.finishing && outcome != RunOutcome::Finished)
        return false;
    run.endClaimed = true;
    run.outcome = outcome;
    if (outcome != RunOutcome::Finished)
        run.stop.request_stop();
    return true;
}

void DiagnosisSession::markEnded(Run& run, bool tellView) {
    // A run superseded by a later Start ends without telling anyone.
    RunOutcome outcome;
    {
        MutexLock lock(mutex_);
        run.held(mutex_);
        outcome = run.outcome;
    }
    if (tellView && latest(run))
        view_.runEnded(outcome);
    {
        MutexLock lock(mutex_);
        run.held(mutex_);
        run.ended = true;
        if (open_ && current_.get() == &run)
            open_.reset();
    }
    endedCv_.notify_all();
}

void DiagnosisSession::returnToIdle(Run& run) {
    {
        MutexLock lock(mutex_);
        if (current_.get() != &run || !running_)
            return;
        running_ = false;
        if (worker_.run.get() == &run)
            retired_.push_back(std::move(worker_));
        worker_ = {};
    }
    if (latest(run))
        view_.runningChanged(false);
}

void DiagnosisSession::itemRunning(const Run& run, int item) {
    show(run, [item](DiagnosisView& v) { v.itemStarted(item); });
}

void DiagnosisSession::armWatchdog(const std::shared_ptr<Run>& run) {
    {
        MutexLock lock(mutex_);
        watchdogRun_ = run;
        watchdogDue_ = std::chrono::steady_clock::now() + options_.watchdogPeriod;
        watchdogArmed_ = true;
        ++watchdogArmCount_;
    }
    watchdogCv_.notify_all();
}

void DiagnosisSession::disarmWatchdog(const Run& run) {
    {
        MutexLock lock(mutex_);
        auto armed = watchdogRun_.lock();
        if (armed.get() != &run)
            return;
        watchdogArmed_ = false;
        watchdogRun_.reset();
        ++watchdogArmCount_;
    }
    watchdogCv_.notify_all();
}

void DiagnosisSession::watchdogLoop(std::stop_token stop) {
    MutexLock lock(mutex_);
    while (!stop.stop_requested()) {
        if (!watchdogArmed_) {
            watchdogCv_.wait(lock, stop, [this]() REQUIRES(mutex_) { return watchdogArmed_; });
            continue;
        }
        const unsigned long armCount = watchdogArmCount_;
        const auto due = watchdogDue_;
        if (watchdogCv_.wait_until(lock, stop, due,
                                   [this, armCount]() REQUIRES(mutex_) { return watchdogArmCount_ != armCount; }))
            continue; // disarmed or armed anew
        if (stop.stop_requested())
            break;
        // The timer fires once, whatever it finds.
        std::shared_ptr<Run> run = watchdogRun_.lock();
        watchdogArmed_ = false;
        watchdogRun_.reset();
        lock.unlock();
        if (run)
            onConnectTimeout(run);
        lock.lock();
    }
}

} // namespace orva

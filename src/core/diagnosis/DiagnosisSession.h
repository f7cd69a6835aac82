#pragma once
// One diagnosis page's worth of state and behaviour, without any window: the model template, the run on
// its worker thread, the connection watchdog, the handling of every result and answer, the log tabs.
// A front end owns one session and implements DiagnosisView for it.
//
// Runs are numbered. Stop, and the handlers that end a run (connection error or time-out, model
// mismatch, telephone start refused), cancel the worker cooperatively: its exchange or wait is
// abandoned, nothing of it is stored or reported, and nothing it does later reaches the view, even when
// it ends after a later run has begun.
#include "core/app/ThreadSafety.h"
#include "core/diagnosis/CheckRules.h"
#include "core/diagnosis/DeviceModels.h"
#include "core/diagnosis/DiagnosisView.h"
#include "core/diagnosis/LogTabRows.h"
#include "core/diagnosis/RecordSink.h"
#include "core/records/DiagRecord.h"

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

namespace orva {

struct SessionOptions {
    // A run that has no CONNECT reply after this long is given up.
    std::chrono::milliseconds watchdogPeriod{10000};
    // Set on the command channel by initialise(), as the page does when it is created.
    int replyTimeoutSeconds = 15;
};

// One check as the log tabs showed it.
struct CheckOutcome {
    int item;           // 1..22
    std::string name;   // the item's name
    std::string mark;   // "√", "X" or the gateway's own text
    std::string result; // the result text
    std::string fault;  // the fault text it added to the results list; empty when it passed
};

// What the last run (or the one still going) has shown so far.
struct RunSummary {
    bool started = false;
    bool ended = false;
    RunOutcome outcome = RunOutcome::Stopped;
    std::string serial;       // "DEVTYPE"
    std::string productClass; // "PRODUCTCLASS"
    std::vector<CheckOutcome> checks;
    std::vector<std::string> faults;
    // The record as it was stored (finished runs only) and RecordStore::insert's result.
    std::optional<DiagRecord> record;
    int stored = 0;
    // The report: accepted by the service, or the record waits in uploads (and why).
    bool reported = false;
    bool keptForUpload = false;
    std::string reportProblem;
};

class DiagnosisSession {
public:
    // `sink` receives finished records; nullptr uses a DefaultRecordSink.
    explicit DiagnosisSession(DiagnosisView& view, RecordSink* sink = nullptr, SessionOptions options = {});
    // Stops every run and waits for the worker threads to end.
    ~DiagnosisSession();
    DiagnosisSession(const DiagnosisSession&) = delete;
    DiagnosisSession& operator=(const DiagnosisSession&) = delete;

    // What the page does when it is created: the channel's reply time-out, the offered models and the
    // template of KT540G (no model is confirmed by this). Returns the offered model names.
    std::vector<std::string> initialise();

    enum class ConfirmResult {
        Refused,        // a run is active: nothing changed
        Confirmed,      // a listed model: it became CurrentDeviceType and its template was loaded
        LoadedUnlisted, // not in the list: its template was loaded, CurrentDeviceType is unchanged
    };
    // The confirm button: loads the model's template and shows "设备选择成功". A listed model becomes
    // CurrentDeviceType, after which the GUI tells its main window (which answers deviceTypeChanged()).
    ConfirmResult confirmModel(const std::string& model);
    // The model was chosen elsewhere: reload the template of CurrentDeviceType. False while running.
    bool deviceTypeChanged();
    // The page's template and the model it was loaded for.
    std::optional<DeviceTemplate> deviceTemplate() const;
    void setDeviceTemplate(std::optional<DeviceTemplate> t);

    void setOperator(const std::string& name);
    std::string operatorName() const;

    // The Start button. False when nothing was started: a run is active, there is no template (message
    // DeviceTypeNotSet), or the record store cannot take a record (its message; nothing is sent).
    bool start(const std::string& address);
    // The Stop button: ThreadStopped when no run is registered, otherwise the run is ended (nothing
    // stored or reported), the page returns to idle and CheckStopped is shown.
    void stop();
    // A run past its last check has its record stored: its report may be given up. Ends the request
    // at once (the record waits in uploads); the run still ends as finished. False when no run is
    // at that point.
    bool abandonReport();

    // The technician's answer to the open prompt: OK (true) or Cancel (false). Cancel on an information
    // prompt does nothing. False when no prompt is open or the answer was not taken.
    bool answer(bool ok);
    // The prompt window's three answers by question id, as it sends them. An id that does not belong to
    // the answer's kind shows the error text (" OnInfoDlgRet error ", " OnJudgeYes error ",
    // "msg:<id>,OnJudgeNo error") and sets nothing.
    bool promptAck(int questionId);
    bool promptYes(int questionId, int value);
    bool promptNo(int questionId, int value);
    // The prompt the run is waiting on, if any.
    std::optional<Prompt> openPrompt() const;

    // Running: Start was pressed and the page has not returned to idle.
    bool running() const;
    bool connected() const;
    // Finished records not yet stored (for the exit question).
    int pendingRecords() const;
    RunSummary lastRun() const;
    // Waits until the latest run has ended (true) or the time-out passed (false).
    bool waitForRunEnd(std::chrono::milliseconds timeout) const;

    std::vector<LogRow> logRows(LogTab tab) const;

private:
    struct Run;
    enum class AnswerKind { Ack, Yes, No };

    // The worker and the steps it notifies.
    void runDiagnosis(std::shared_ptr<Run> run, std::stop_token stop);
    bool runHardwareItems(Run& run, std::stop_token stop);
    bool runSoftwareItems(Run& run, std::stop_token stop);
    // One row of the check table: false when the run is to go no further.
    bool runItem(Run& run, const CheckItem& item, std::stop_token stop);
    void finishRun(Run& run);
    // Shows the question and waits for its answer; `scrollTo` (an item, 0 none) is brought into view
    // beside it.
    bool ask(Run& run, std::stop_token stop, int questionId, int port = 0, int scrollTo = 0);
    void applyAnswer(Run& run, int questionId, AnswerKind kind, int value);

    // Handlers of the run's notifications.
    void onConnected(Run& run);
    void onConnectError(Run& run);
    void onConnectTimeout(const std::shared_ptr<Run>& run);
    bool onIdentity(Run& run);
    void onPotsStartFailed(Run& run);
    void onItemResult(Run& run, int item, TextId fault, const ItemResult& result, bool scroll);
    void onFinished(Run& run);

    // Shared steps.
    // The run may still show itself: it is the latest and nobody stopped it.
    bool live(const Run& run) const EXCLUDES(mutex_);
    bool liveLocked(const Run& run) const REQUIRES(mutex_);
    // No later Start superseded the run (a stopped run may still show how it ended).
    bool latest(const Run& run) const EXCLUDES(mutex_);
    void reportResult(Run& run, int item, const std::string& mark, const std::string& result,
                      const std::string& fault = {}) EXCLUDES(mutex_);
    void addFault(Run& run, int item, const std::string& text) EXCLUDES(mutex_);
    void appendRow(Run& run, LogTab tab, const std::string& item, const std::string& result) EXCLUDES(mutex_);
    void returnToIdle(Run& run) EXCLUDES(mutex_);
    // Item n is being checked: its question or command is out.
    void itemRunning(const Run& run, int item);
    // Takes the end of the run for the caller (false when someone else ended it already). All but a
    // finished run are asked to stop at once, so nothing more of the run reaches the view.
    bool claimEnd(Run& run, RunOutcome outcome, bool onlyIfUnconnected = false) EXCLUDES(mutex_);
    // After the claimer's own view calls: the run is over.
    void markEnded(Run& run, bool tellView) EXCLUDES(mutex_);
    bool deliver(AnswerKind kind, int questionId, int value) EXCLUDES(mutex_);
    template <class F> void show(const Run& run, F&& call) {
        if (live(run))
            call(view_);
    }

    // The connection watchdog: one thread for the session's life, armed per run.
    void watchdogLoop(std::stop_token stop) EXCLUDES(mutex_);
    void armWatchdog(const std::shared_ptr<Run>& run) EXCLUDES(mutex_);
    void disarmWatchdog(const Run& run) EXCLUDES(mutex_);

    DiagnosisView& view_;
    DefaultRecordSink defaultSink_;
    RecordSink& sink_;
    SessionOptions options_;

    // The session's one lock, for its own members and those of its runs. It is never held while the
    // view is called, while a command is out or while the record is stored or reported.
    mutable Mutex mutex_;
    mutable std::condition_variable_any endedCv_;    // a run ended
    mutable std::condition_variable_any answeredCv_; // a question of a run was answered
    std::optional<DeviceTemplate> template_ GUARDED_BY(mutex_);
    std::string operator_ GUARDED_BY(mutex_);
    unsigned long generation_ GUARDED_BY(mutex_) = 0;
    // The run Start began last (kept after it ended, for its summary).
    std::shared_ptr<Run> current_ GUARDED_BY(mutex_);
    // Registered worker: Start pressed, page not back to idle.
    bool running_ GUARDED_BY(mutex_) = false;
    std::optional<Prompt> open_ GUARDED_BY(mutex_);
    struct Worker {
        std::jthread thread;
        std::shared_ptr<Run> run;
    };
    Worker worker_ GUARDED_BY(mutex_);               // the registered worker
    std::vector<Worker> retired_ GUARDED_BY(mutex_); // workers the page let go of; joined once done
    int pending_ GUARDED_BY(mutex_) = 0;

    LogTabRows currentTab_ GUARDED_BY(mutex_);
    LogTabRows allTab_ GUARDED_BY(mutex_);

    std::condition_variable_any watchdogCv_;
    std::weak_ptr<Run> watchdogRun_ GUARDED_BY(mutex_);
    std::chrono::steady_clock::time_point watchdogDue_ GUARDED_BY(mutex_);
    bool watchdogArmed_ GUARDED_BY(mutex_) = false;
    unsigned long watchdogArmCount_ GUARDED_BY(mutex_) = 0;
    std::jthread watchdog_; // last member: started after everything it uses exists
};

} // namespace orva

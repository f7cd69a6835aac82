#pragma once
// How a diagnosis session shows itself: the diagnosis page of the GUI, the CLI's printer, a test fake.
//
// Calls come from the session's worker threads (the run and its connection watchdog) and must behave as
// if synchronous: the caller goes on only once the call has returned (the GUI forwards them to its own
// thread and waits for them there). The few calls made by start(), stop() and confirmModel() run on
// the thread that called those, normally the front end's own; a GUI view must then not queue them to
// itself. Nothing of the session is locked while a view call runs, so a view may call answer() from
// inside questionOpened().
#include <string>
#include <vector>

namespace orva {

// The prompt window's contents.
struct Prompt {
    int mode = 0;       // 0 information (OK only), 1 yes/no (OK and Cancel)
    std::string title;  // window caption
    std::string text;   // the question
    int questionId = 0; // the notification that asked it
    int value = 0;      // sent back with the answer: the telephone port for the port questions, else 0
};

struct ItemRow {
    std::string name; // the item's current name
    bool ticked;      // its check box: the template flag is exactly 1
};

enum class LogTab { Current, All };

// How a run ended.
enum class RunOutcome {
    Finished,        // every selected item ran; the record was reported and stored
    NoTemplate,      // no model template when the run began
    ConnectError,    // the CONNECT exchange failed
    ConnectTimeout,  // no CONNECT reply within the watchdog period
    ModelMismatch,   // the gateway's product class is not the template's model
    PotsStartFailed, // the gateway refused to start the telephone test
    Stopped,         // the technician stopped it
};

// The events of a session, in the order they happen. A front end draws what it needs of them; the
// ones with empty bodies may be ignored. Items are numbered 1..22.
class DiagnosisView {
public:
    virtual ~DiagnosisView() = default;

    // Start was pressed and the connection to `address` is being tried: what the page showed of the
    // last run (its items, its current-log rows, its faults, the gateway it reached) is no longer true,
    // and the technician should see which gateway is being reached.
    virtual void runStarting(const std::string& /*address*/) {}
    // true: running (address entry disabled, Start inactive); false: back to idle.
    virtual void runningChanged(bool /*running*/) {}
    // Connected: the template's 22 items, none of them checked yet.
    virtual void itemsShown(const std::vector<ItemRow>& /*rows*/) {}
    // A model was confirmed or the device type changed: the shown items take these ticks and lose
    // their results (none shown: nothing to do).
    virtual void itemsTicked(const std::vector<bool>& /*ticked*/) {}
    // Item n's question or command is out and its result has not come yet (a reply may take up to the
    // channel's reply time-out). itemFinished() for the item, or the run's return to idle, ends it.
    virtual void itemStarted(int /*item*/) {}
    // Item n has its mark: "√", "X" or the gateway's own text; `scroll`: bring it into view.
    virtual void itemFinished(int /*item*/, const std::string& /*mark*/, bool /*scroll*/) {}
    // A step before the items failed, shown above them: e.g. "连接状态" / "连接超时".
    virtual void stepFailed(const std::string& /*step*/, const std::string& /*result*/) {}
    // The gateway told its product form and barcode.
    virtual void identityRead(const std::string& /*productClass*/, const std::string& /*serial*/) {}
    // A row was added to a log tab; `number` is its running number on that tab.
    virtual void logRowAdded(LogTab /*tab*/, int /*number*/, const std::string& /*item*/,
                             const std::string& /*result*/) {}
    // The last check is done: the faults found, in the order found.
    virtual void faultsShown(const std::vector<std::string>& /*faults*/) {}
    // The record is stored and its report is going to the reporting service (which may take up to
    // HTTP's time-out).
    virtual void reportStarting() {}

    // A question waits for the technician; `item` (0 none) is the item it is about, to bring into
    // view beside it. Answered through the session; the window hides itself when answered.
    virtual void questionOpened(const Prompt& prompt, int item) = 0;
    // The run ended with a question open.
    virtual void questionClosed() {}
    // A message box with an OK button.
    virtual void message(const std::string& text) = 0;

    // The run is over and nothing more of it will be shown (after the record was stored, for a
    // finished run).
    virtual void runEnded(RunOutcome /*outcome*/) {}
};

} // namespace orva

#pragma once
// How a diagnosis session shows itself: the diagnosis page of the GUI, the CLI's printer, a test fake.
//
// Calls come from the session's worker threads (the run and its connection watchdog) and must behave as
// if synchronous: the caller goes on only once the call has returned (the GUI forwards them to its own
// thread with a blocking queued connection). The few calls made by start(), stop() and confirmModel()
// run on the thread that called those, normally the front end's own; a GUI view must then not queue
// them to itself. Nothing of the session is locked while a view call runs, so a view may call answer()
// from inside showPrompt().
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

class DiagnosisView {
public:
    virtual ~DiagnosisView() = default;

    // Item list (items numbered 1..22; row n-1 shows item n).
    virtual void clearItemList() = 0;
    // Fills the list with 22 rows, empty status column.
    virtual void setItemRows(const std::vector<ItemRow>& rows) = 0;
    // Ticks the rows' check boxes anew and empties their status column (no rows: nothing to do).
    virtual void setItemTicks(const std::vector<bool>& ticked) = 0;
    // Column 1 of item n: "√", "X" or the gateway's own text.
    virtual void setItemStatus(int item, const std::string& text) = 0;
    virtual void scrollToItem(int item) = 0;
    // A new row above all others, e.g. "连接状态" / "连接超时".
    virtual void insertTopRow(const std::string& column0, const std::string& column1) = 0;

    // The results list: fault texts at the end of a run.
    virtual void clearResults() = 0;
    virtual void addResult(const std::string& text) = 0;

    // The log tabs. `number` is the row's running number on that tab.
    virtual void clearLogTab(LogTab tab) = 0;
    virtual void appendLogRow(LogTab tab, int number, const std::string& item, const std::string& result) = 0;

    // Product form and barcode fields.
    virtual void showIdentity(const std::string& productClass, const std::string& serial) = 0;

    // The prompt window. The window hides itself when answered; hidePrompt() is for runs that end.
    virtual void showPrompt(const Prompt& prompt) = 0;
    virtual void hidePrompt() = 0;

    // Start was pressed and the connection to `address` is being tried: what the last gateway showed
    // of itself is no longer true, and the technician should see which gateway is being reached.
    virtual void runStarting(const std::string& /*address*/) {}
    // Item n's question or command is out and its result has not come yet (a reply may take up to the
    // channel's reply time-out). setItemStatus() for the item, or the run's return to idle, ends it.
    virtual void itemRunning(int /*item*/) {}
    // The last check is done, the record is stored and its report is going to the reporting service
    // (which may take up to HTTP's time-out).
    virtual void reportStarting() {}

    // true: running (address entry disabled, Start inactive); false: back to idle.
    virtual void setRunning(bool running) = 0;
    // A message box with an OK button.
    virtual void message(const std::string& text) = 0;

    // The run is over and nothing more of it will be shown (after the record was stored, for a
    // finished run).
    virtual void runEnded(RunOutcome /*outcome*/) {}
};

} // namespace orva

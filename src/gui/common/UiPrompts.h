#pragma once
// The one way every window shows a message box or a file dialog. In test mode nothing modal is shown:
// each prompt is recorded and answered from queues filled in advance (the next answer, the next chosen
// file name), so no test ever waits on a window. Callable from any thread: a call off the UI thread is
// carried out on it while the caller waits.
#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

class QWidget;

namespace orva {

class UiPrompts {
public:
    enum class Kind { Information, YesNo, OkCancel, OpenFile, SaveFile };

    struct FileDialogOptions {
        QString caption;
        QString directory;       // starting folder; empty: the current one
        QString defaultFileName; // pre-filled name ("setup.exe")
        QString filter;          // Qt form "Programs (*.exe);;All files (*.*)"
        QString defaultSuffix;   // without the dot ("exe"), added when the typed name has none
    };

    // What a prompt showed (or, in test mode, would have shown) and how it was answered.
    struct Shown {
        Kind kind;
        QString text;             // message text, or the file dialog's caption
        QString caption;          // window title, or the file dialog's default file name
        QString filter;           // file dialogs only
        bool accepted = false;    // Yes / OK / a file chosen; true for an information box
        QString fileName;         // the chosen file
        bool yesByDefault = true; // questions: whether Return (the default button) answers Yes / OK
    };

    // An information box with an OK button.
    static void information(QWidget* parent, const QString& text, const QString& caption = {});
    // true for Yes / OK. A question whose Yes cannot be undone passes yesByDefault = false, so that a
    // Return pressed out of habit answers No.
    static bool askYesNo(QWidget* parent, const QString& text, const QString& caption = {}, bool yesByDefault = true);
    static bool askOkCancel(QWidget* parent, const QString& text, const QString& caption = {});
    // The chosen file, empty when cancelled.
    static QString getOpenFileName(QWidget* parent, const FileDialogOptions& options);
    static QString getSaveFileName(QWidget* parent, const FileDialogOptions& options);

    // The title a box gets when the caller gives none: the tool's window title.
    static QString defaultCaption();
    // "desc|pattern|desc|pattern||" (the classic filter form) in Qt's form ("desc (pattern);;...").
    static QString filterFromClassic(const QString& classic);

    // --- test mode ---
    // On: prompts are recorded and answered from the queues; off: real modal windows. Turning it on or
    // off clears the queues and the record.
    static void setTestMode(bool on);
    static bool testMode();
    // Answers for the next questions (Yes/No and OK/Cancel share one queue); without one: No / Cancel.
    static void queueAnswer(bool answer);
    // Names for the next file dialogs (open and save share one queue); an empty name cancels; without
    // one: cancelled.
    static void queueFileName(const QString& fileName);
    // Called (on the UI thread) for every prompt in test mode, before it returns; lets a test look at the
    // windows at the moment the prompt "is up". Empty function to remove.
    static void setObserver(std::function<void(const Shown&)> observer);
    static std::vector<Shown> shown();
    // The texts of the shown prompts, in order.
    static QStringList shownTexts();
    static void clearShown();
    // Answers queued but not used yet.
    static int pendingAnswers();
    static int pendingFileNames();
};

// Keeps test mode on for a scope (a fixture member): on at construction, off at the end.
class UiPromptsTestScope {
public:
    UiPromptsTestScope() { UiPrompts::setTestMode(true); }
    ~UiPromptsTestScope() { UiPrompts::setTestMode(false); }
    UiPromptsTestScope(const UiPromptsTestScope&) = delete;
    UiPromptsTestScope& operator=(const UiPromptsTestScope&) = delete;
};

} // namespace orva

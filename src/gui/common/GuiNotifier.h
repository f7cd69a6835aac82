#pragma once
// The GUI's Notifier: the core's message boxes and questions become UiPrompts on the UI thread, from
// whatever thread the core calls; fatalExit shows its box, then ends the process with the code.
//
// Once the main window starts closing, no box is shown any more: the UI thread is about to wait for the
// workers (the pages' sessions, the upload pass), and a worker waiting for a box from it would never
// return. From then on every box goes to orva.log instead and is answered with its safe default (OK for
// a message, No / Cancel for a question), and a worker already waiting for a box not yet shown is
// released the same way.
#include "core/app/Notifier.h"
#include "gui/common/UiDispatcher.h"

#include <functional>
#include <memory>

namespace orva {

class GuiNotifier final : public Notifier {
public:
    // exitFn ends the process; tests pass one that records. Default: std::exit.
    explicit GuiNotifier(std::function<void(int)> exitFn = {});
    ~GuiNotifier() override; // uninstalls itself if installed

    // Makes this the process-wide notifier.
    void install();

    // Enters the shutting-down state (for good: a notifier serves one main window). Call it on the UI
    // thread when the main window starts closing, before it waits for any worker.
    void beginShutdown();
    bool shuttingDown() const;
    // beginShutdown of the installed notifier, when the installed one is a GuiNotifier.
    static void BeginShutdownOfInstalled();

    void messageBox(const std::string& text, const std::string& caption = {}) override;
    bool askYesNo(const std::string& text, const std::string& caption = {}) override;
    bool askOkCancel(const std::string& text, const std::string& caption = {}) override;
    void fatalExit(const std::string& text, int exitCode) override;

private:
    // Runs fn on the UI thread and waits for it; false, without running it, once shutting down.
    bool runUnlessClosing(std::function<void()> fn);
    void logUnshown(const std::string& text, const std::string& caption) const;

    std::function<void(int)> exit_;
    std::shared_ptr<UiGate> gate_; // shared with the calls under way; they may outlive the notifier
    bool installed_ = false;
};

} // namespace orva

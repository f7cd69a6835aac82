#pragma once
// The GUI's Notifier: the core's message boxes and questions become UiPrompts on the UI thread, from
// whatever thread the core calls; fatalExit shows its box, then ends the process with the code.
#include "app/Notifier.h"

#include <functional>

namespace orva {

class GuiNotifier final : public Notifier {
public:
    // exitFn ends the process; tests pass one that records. Default: std::exit.
    explicit GuiNotifier(std::function<void(int)> exitFn = {});
    ~GuiNotifier() override; // uninstalls itself if installed

    // Makes this the process-wide notifier.
    void install();

    void messageBox(const std::string& text, const std::string& caption = {}) override;
    bool askYesNo(const std::string& text, const std::string& caption = {}) override;
    bool askOkCancel(const std::string& text, const std::string& caption = {}) override;
    void fatalExit(const std::string& text, int exitCode) override;

private:
    std::function<void(int)> exit_;
    bool installed_ = false;
};

} // namespace orva

#include "gui/common/GuiNotifier.h"

#include "core/app/LogFile.h"
#include "gui/common/UiPrompts.h"

#include <cstdio>
#include <cstdlib>

namespace orva {

namespace {

QString q(const std::string& s) {
    return QString::fromStdString(s);
}

// The log tag of a box that was not shown.
constexpr const char* kUnshownTag = "MessageBox";

} // namespace

GuiNotifier::GuiNotifier(std::function<void(int)> exitFn)
    : exit_(exitFn ? std::move(exitFn)
                   : [](int code) {
                         std::fflush(nullptr);
                         std::exit(code);
                     }),
      gate_(std::make_shared<UiGate>()) {}

GuiNotifier::~GuiNotifier() {
    if (installed_ && &notifier() == this)
        setNotifier(nullptr);
    // A worker still waiting here must not wait for a UI that no longer answers through this notifier.
    beginShutdown();
}

void GuiNotifier::install() {
    setNotifier(this);
    installed_ = true;
}

void GuiNotifier::beginShutdown() {
    gate_->close();
}

bool GuiNotifier::shuttingDown() const {
    return gate_->isClosed();
}

void GuiNotifier::BeginShutdownOfInstalled() {
    if (auto* gui = dynamic_cast<GuiNotifier*>(&notifier()))
        gui->beginShutdown();
}

// Each prompt is carried out on the UI thread as a whole, so the record of a test and the real box
// both happen there while a calling worker waits; one not yet begun is given up once shutting down (the
// UI thread may be joining this very worker).
bool GuiNotifier::runUnlessClosing(std::function<void()> fn) {
    return CallOnUiUnless(gate_, std::move(fn));
}

void GuiNotifier::logUnshown(const std::string& text, const std::string& caption) const {
    LogFile::instance().write(kUnshownTag, caption.empty() ? text : caption + ": " + text);
}

void GuiNotifier::messageBox(const std::string& text, const std::string& caption) {
    if (!runUnlessClosing([&] { UiPrompts::information(nullptr, q(text), q(caption)); }))
        logUnshown(text, caption);
}

bool GuiNotifier::askYesNo(const std::string& text, const std::string& caption) {
    bool answer = false;
    if (!runUnlessClosing([&] { answer = UiPrompts::askYesNo(nullptr, q(text), q(caption)); }))
        logUnshown(text, caption);
    return answer;
}

bool GuiNotifier::askOkCancel(const std::string& text, const std::string& caption) {
    bool answer = false;
    if (!runUnlessClosing([&] { answer = UiPrompts::askOkCancel(nullptr, q(text), q(caption)); }))
        logUnshown(text, caption);
    return answer;
}

void GuiNotifier::fatalExit(const std::string& text, int exitCode) {
    if (runUnlessClosing([&] {
            UiPrompts::information(nullptr, q(text));
            exit_(exitCode);
        }))
        return;
    // The tool is closing anyway; it still ends with the code the caller asked for.
    logUnshown(text, {});
    exit_(exitCode);
}

} // namespace orva

#include "common/GuiNotifier.h"

#include "common/UiPrompts.h"
#include "common/UiThread.h"

#include <cstdio>
#include <cstdlib>

namespace orva {

namespace {

QString q(const std::string& s) {
    return QString::fromStdString(s);
}

} // namespace

GuiNotifier::GuiNotifier(std::function<void(int)> exitFn)
    : exit_(exitFn ? std::move(exitFn) : [](int code) {
          std::fflush(nullptr);
          std::exit(code);
      }) {}

GuiNotifier::~GuiNotifier() {
    if (installed_ && &notifier() == this)
        setNotifier(nullptr);
}

void GuiNotifier::install() {
    setNotifier(this);
    installed_ = true;
}

// Each prompt is carried out on the UI thread as a whole, so the record of a test and the real box
// both happen there while a calling worker waits.
void GuiNotifier::messageBox(const std::string& text, const std::string& caption) {
    RunOnUiThread([&] { UiPrompts::information(nullptr, q(text), q(caption)); });
}

bool GuiNotifier::askYesNo(const std::string& text, const std::string& caption) {
    bool answer = false;
    RunOnUiThread([&] { answer = UiPrompts::askYesNo(nullptr, q(text), q(caption)); });
    return answer;
}

bool GuiNotifier::askOkCancel(const std::string& text, const std::string& caption) {
    bool answer = false;
    RunOnUiThread([&] { answer = UiPrompts::askOkCancel(nullptr, q(text), q(caption)); });
    return answer;
}

void GuiNotifier::fatalExit(const std::string& text, int exitCode) {
    RunOnUiThread([&] {
        UiPrompts::information(nullptr, q(text));
        exit_(exitCode);
    });
}

} // namespace orva

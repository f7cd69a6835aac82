#include "gui/common/GuiNotifier.h"

#include "core/app/LogFile.h"
#include "gui/common/UiPrompts.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>

#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>

namespace orva {

struct GuiNotifier::Shared {
    std::mutex mutex;
    std::condition_variable changed;
    bool closing = false;
};

namespace {

QString q(const std::string& s) {
    return QString::fromStdString(s);
}

// One prompt asked from a worker. Queued: not begun on the UI thread, so it can still be given up;
// Running: the box is up, and the worker waits for its answer whatever happens meanwhile.
struct PendingCall {
    enum class State { Queued, Running, Done, Abandoned };
    State state = State::Queued;
    std::function<void()> fn;
};

// The log tag of a box that was not shown.
constexpr const char* kUnshownTag = "MessageBox";

} // namespace

GuiNotifier::GuiNotifier(std::function<void(int)> exitFn)
    : exit_(exitFn ? std::move(exitFn)
                   : [](int code) {
                         std::fflush(nullptr);
                         std::exit(code);
                     }),
      shared_(std::make_shared<Shared>()) {}

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
    {
        std::lock_guard lock(shared_->mutex);
        shared_->closing = true;
    }
    shared_->changed.notify_all();
}

bool GuiNotifier::shuttingDown() const {
    std::lock_guard lock(shared_->mutex);
    return shared_->closing;
}

void GuiNotifier::BeginShutdownOfInstalled() {
    if (auto* gui = dynamic_cast<GuiNotifier*>(&notifier()))
        gui->beginShutdown();
}

// Each prompt is carried out on the UI thread as a whole, so the record of a test and the real box
// both happen there while a calling worker waits. The call is queued rather than sent blocking: a
// blocking call cannot be taken back, and the UI thread may never take it (it is closing and joining
// this very worker).
bool GuiNotifier::runUnlessClosing(std::function<void()> fn) {
    const std::shared_ptr<Shared> shared = shared_;
    const QCoreApplication* app = QCoreApplication::instance();
    if (!app || QThread::currentThread() == app->thread()) {
        if (shuttingDown())
            return false;
        fn();
        return true;
    }
    auto call = std::make_shared<PendingCall>();
    call->fn = std::move(fn);
    {
        std::lock_guard lock(shared->mutex);
        if (shared->closing)
            return false;
    }
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [shared, call] {
            {
                std::lock_guard lock(shared->mutex);
                if (call->state != PendingCall::State::Queued)
                    return; // given up by its worker; what it refers to may be gone
                call->state = PendingCall::State::Running;
            }
            call->fn();
            {
                std::lock_guard lock(shared->mutex);
                call->state = PendingCall::State::Done;
            }
            shared->changed.notify_all();
        },
        Qt::QueuedConnection);
    std::unique_lock lock(shared->mutex);
    shared->changed.wait(lock, [&] {
        return call->state == PendingCall::State::Done ||
               (call->state == PendingCall::State::Queued && shared->closing);
    });
    if (call->state == PendingCall::State::Done)
        return true;
    call->state = PendingCall::State::Abandoned;
    return false;
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

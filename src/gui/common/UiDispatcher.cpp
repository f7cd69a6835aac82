#include "gui/common/UiDispatcher.h"

#include <QCoreApplication>
#include <QEvent>
#include <QMetaObject>
#include <QThread>
#include <QWidget>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <unordered_map>

namespace orva {

namespace {

// What the dispatcher knows of one context, from its first CallOnUi until it is destroyed.
struct Gate {
    bool closed = false;
    bool gone = false;
};

// One call waiting for the UI thread. Queued: not begun, so it can still be given up; Abandoned: given
// up by its worker and never to be run. givenUp is asked under the registry's lock; awaitRunning keeps
// the worker waiting for a call that has begun even when it is given up meanwhile.
struct Call {
    enum class State { Queued, Running, Done, Abandoned };
    State state = State::Queued;
    std::function<void()> fn;
    std::function<bool()> givenUp;
    bool awaitRunning = false;
};

struct Registry {
    std::mutex mutex;
    std::condition_variable changed;
    std::unordered_map<const QObject*, std::shared_ptr<Gate>> gates;
};

Registry& registry() {
    static Registry* r = new Registry; // outlives every static that might still post at exit
    return *r;
}

// Marks every known context in `widget` (the widget itself or below it) open or closed. On the UI
// thread, where the widgets live; a context in the map is alive (it leaves the map when destroyed).
void markWithin(const QWidget* widget, bool closed) {
    Registry& r = registry();
    {
        std::lock_guard lock(r.mutex);
        for (auto& [context, gate] : r.gates) {
            if (!context->isWidgetType())
                continue;
            const auto* w = static_cast<const QWidget*>(context);
            if (w == widget || widget->isAncestorOf(w))
                gate->closed = closed;
        }
    }
    r.changed.notify_all();
}

// Sees every Close and Show on the UI thread before the widget itself does, so the workers waiting on
// a closing window are let go before its own close handler may wait for them.
class CloseWatcher : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (!watched->isWidgetType())
            return false;
        auto* widget = static_cast<QWidget*>(watched);
        if (event->type() == QEvent::Close) {
            markWithin(widget, true);
            // A refused close leaves the window up; it takes calls again once the close is over.
            QMetaObject::invokeMethod(
                widget,
                [widget] {
                    if (widget->isVisible())
                        markWithin(widget, false);
                },
                Qt::QueuedConnection);
        } else if (event->type() == QEvent::Show) {
            markWithin(widget, false);
        }
        return false;
    }
};

void watchCloses() {
    QCoreApplication* app = QCoreApplication::instance();
    app->installEventFilter(new CloseWatcher(app));
}

} // namespace

// Installed as each application starts, on its own thread: a close must be seen even when no call
// had reached the UI thread yet.
Q_COREAPP_STARTUP_FUNCTION(watchCloses)

void PostToUi(QObject* context, std::function<void()> fn) {
    if (!context || !fn)
        return;
    QMetaObject::invokeMethod(context, std::move(fn), Qt::QueuedConnection);
}

namespace {

std::shared_ptr<Gate> gateFor(QObject* context) {
    Registry& r = registry();
    std::shared_ptr<Gate> gate;
    {
        std::lock_guard lock(r.mutex);
        auto [it, added] = r.gates.try_emplace(context);
        if (!added)
            return it->second;
        it->second = gate = std::make_shared<Gate>();
    }
    // Direct: the context's destruction lets its waiters go from whichever thread destroys it.
    QObject::connect(context, &QObject::destroyed, [context, gate] {
        Registry& reg = registry();
        {
            std::lock_guard lock(reg.mutex);
            gate->gone = true;
            auto it = reg.gates.find(context);
            if (it != reg.gates.end() && it->second == gate)
                reg.gates.erase(it);
        }
        reg.changed.notify_all();
    });
    return gate;
}

// Queues the call on context's thread and waits for it to be done or given up.
bool Dispatch(QObject* context, const std::shared_ptr<Call>& call) {
    Registry& r = registry();
    {
        std::lock_guard lock(r.mutex);
        if (call->givenUp())
            return false;
    }
    // Queued, not blocking: a blocking call cannot be taken back once it is given up.
    QMetaObject::invokeMethod(
        context,
        [call] {
            Registry& reg = registry();
            {
                std::lock_guard lock(reg.mutex);
                if (call->state != Call::State::Queued)
                    return;
                // Given up before it came up: its worker is let go, or about to be.
                if (call->givenUp()) {
                    call->state = Call::State::Abandoned;
                    return;
                }
                call->state = Call::State::Running;
            }
            if (call->fn)
                call->fn();
            {
                std::lock_guard lock(reg.mutex);
                call->state = Call::State::Done;
            }
            reg.changed.notify_all();
        },
        Qt::QueuedConnection);
    std::unique_lock lock(r.mutex);
    r.changed.wait(lock, [&] {
        return call->state == Call::State::Done ||
               (call->givenUp() && (call->state == Call::State::Queued || !call->awaitRunning));
    });
    if (call->state == Call::State::Done)
        return true;
    if (call->state == Call::State::Queued)
        call->state = Call::State::Abandoned;
    return false;
}

} // namespace

bool CallOnUi(QObject* context, std::function<void()> fn) {
    if (!context)
        return false;
    if (QThread::currentThread() == context->thread()) {
        if (fn)
            fn();
        return true;
    }
    auto call = std::make_shared<Call>();
    call->fn = std::move(fn);
    call->givenUp = [gate = gateFor(context)] { return gate->closed || gate->gone; };
    return Dispatch(context, call);
}

void UiGate::close() {
    Registry& r = registry();
    {
        std::lock_guard lock(r.mutex);
        closed_ = true;
    }
    r.changed.notify_all();
}

bool UiGate::isClosed() const {
    std::lock_guard lock(registry().mutex);
    return closed_;
}

bool CallOnUiUnless(const std::shared_ptr<UiGate>& gate, std::function<void()> fn) {
    QCoreApplication* app = QCoreApplication::instance();
    if (!app || QThread::currentThread() == app->thread()) {
        if (gate->isClosed())
            return false;
        if (fn)
            fn();
        return true;
    }
    auto call = std::make_shared<Call>();
    call->fn = std::move(fn);
    call->givenUp = [gate] { return gate->closed_; };
    call->awaitRunning = true;
    return Dispatch(app, call);
}

} // namespace orva

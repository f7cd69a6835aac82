#pragma once
// The one way from a worker to the UI thread. PostToUi goes on at once and keeps every call in the order
// it was made; CallOnUi waits until the function ran, for a worker that must see its effect. A waiting
// worker is let go once its context closes or is destroyed: the UI thread may itself be waiting for that
// worker (a page joins its session's workers while it closes), and a call it will never take must not
// hold them both. A function given to CallOnUi therefore owns what it touches (captures by value or
// shared state): after a false return it may still be running, or never run.
#include <QObject>

#include <functional>
#include <memory>

namespace orva {

// Runs fn later on context's thread; dropped if context is gone by then.
void PostToUi(QObject* context, std::function<void()> fn);

// Runs fn on context's thread and waits for it; runs it directly when called on that thread. Returns
// false (fn not run, or no longer awaited) once context, or the window it sits in, closes or is
// destroyed; a window shown again, or one whose close was refused, takes calls again.
bool CallOnUi(QObject* context, std::function<void()> fn);

class UiGate;

// Runs fn on the application's thread and waits for it; runs it directly on that thread or when there
// is no application. Returns false, without running fn, once `gate` is closed before fn began; a call
// already running is waited for to its end (a box already up is answered), so fn may refer to the
// caller's locals.
bool CallOnUiUnless(const std::shared_ptr<UiGate>& gate, std::function<void()> fn);

// A gate of the caller's own, for calls given up on something other than a window closing: the GUI's
// notifier closes its gate when the main window starts closing. Closing it (for good) lets go every
// worker whose call has not begun.
class UiGate {
public:
    void close();
    bool isClosed() const;

private:
    friend bool CallOnUiUnless(const std::shared_ptr<UiGate>& gate, std::function<void()> fn);
    bool closed_ = false; // guarded by the dispatcher's own lock
};

} // namespace orva

#pragma once
// The one way from a worker to the UI thread. PostToUi goes on at once and keeps every call in the order
// it was made; CallOnUi waits until the function ran, for a worker that must see its effect. A waiting
// worker is let go once its context closes or is destroyed: the UI thread may itself be waiting for that
// worker (a page joins its session's workers while it closes), and a call it will never take must not
// hold them both. A function given to CallOnUi therefore owns what it touches (captures by value or
// shared state): after a false return it may still be running, or never run.
#include <QObject>

#include <functional>

namespace orva {

// Runs fn later on context's thread; dropped if context is gone by then.
void PostToUi(QObject* context, std::function<void()> fn);

// Runs fn on context's thread and waits for it; runs it directly when called on that thread. Returns
// false (fn not run, or no longer awaited) once context, or the window it sits in, closes or is
// destroyed; a window shown again, or one whose close was refused, takes calls again.
bool CallOnUi(QObject* context, std::function<void()> fn);

} // namespace orva

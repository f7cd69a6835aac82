#pragma once
// How the maintenance pages take their sessions' calls: every call becomes an event for the page and
// the calling thread goes on at once. The sessions' workers must never wait for the UI thread, since
// the UI thread itself may be waiting for them (a cancel waits for the send under way, a new start joins
// the previous worker). Posting from the UI thread too keeps every call in the order it was made.
// Events still queued when the page goes are dropped with it.
#include <QMetaObject>
#include <QObject>

#include <utility>

namespace orva {

template <class Fn> void PostToUi(QObject* page, Fn&& fn) {
    QMetaObject::invokeMethod(page, std::forward<Fn>(fn), Qt::QueuedConnection);
}

} // namespace orva

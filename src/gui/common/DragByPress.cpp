#include "gui/common/DragByPress.h"

#include <QMouseEvent>
#include <QWidget>
#include <QWindow>

namespace orva {

DragByPress::DragByPress(QWidget* window) : QObject(window), window_(window) {
    window->installEventFilter(this);
}

bool DragByPress::eventFilter(QObject* watched, QEvent* event) {
    if (watched != window_)
        return false;
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        auto* e = static_cast<QMouseEvent*>(event);
        if (e->button() != Qt::LeftButton)
            return false;
        if (window_->windowHandle() && window_->windowHandle()->startSystemMove())
            return true;
        dragging_ = true;
        offset_ = e->globalPosition().toPoint() - window_->frameGeometry().topLeft();
        return true;
    }
    case QEvent::MouseMove: {
        auto* e = static_cast<QMouseEvent*>(event);
        if (!dragging_ || !(e->buttons() & Qt::LeftButton))
            return false;
        window_->move(e->globalPosition().toPoint() - offset_);
        return true;
    }
    case QEvent::MouseButtonRelease:
        dragging_ = false;
        return false;
    default:
        return false;
    }
}

} // namespace orva

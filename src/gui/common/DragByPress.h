#pragma once
// Borderless windows of the tool move by a left-button press anywhere on them (not on a control that
// takes the press itself): the window system moves the window where it can, elsewhere it follows the mouse.
#include <QObject>
#include <QPoint>

class QWidget;

namespace orva {

class DragByPress : public QObject {
    Q_OBJECT
public:
    // Watches `window`'s own mouse events; owned by the window.
    explicit DragByPress(QWidget* window);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* window_;
    bool dragging_ = false;
    QPoint offset_;
};

} // namespace orva

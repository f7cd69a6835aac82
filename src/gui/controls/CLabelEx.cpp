#include "gui/controls/CLabelEx.h"

#include "gui/controls/ColorRef.h"

#include <QPainter>

namespace orva {

CLabelEx::CLabelEx(QWidget* parent) : QLabel(parent) {
    setAttribute(Qt::WA_TranslucentBackground, true);
    setAutoFillBackground(false);
}

CLabelEx::CLabelEx(const QString& text, QWidget* parent) : CLabelEx(parent) {
    setText(text);
}

void CLabelEx::SetTextColour(quint32 colorRef) {
    SetTextColour(FromColorRef(colorRef));
}

void CLabelEx::SetTextColour(const QColor& colour) {
    colour_ = colour;
    update();
}

void CLabelEx::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setPen(colour_);
    p.setFont(font());
    p.drawText(rect().adjusted(4, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, text());
}

} // namespace orva

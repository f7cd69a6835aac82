#include "gui/controls/CSkinEdit.h"

#include "gui/controls/ColorRef.h"

#include <QPainter>

namespace orva {

CSkinEdit::CSkinEdit(QWidget* parent) : QLineEdit(parent) {
    setFrame(false);
    setTextMargins(4, 0, 4, 0);
    applyScheme();
}

void CSkinEdit::SetNoFocusColor(quint32 text, quint32 background, quint32 border) {
    noFocus_ = {FromColorRef(text), FromColorRef(background), FromColorRef(border)};
    applyScheme();
}

void CSkinEdit::SetFocusColor(quint32 text, quint32 background, quint32 border) {
    focus_ = {FromColorRef(text), FromColorRef(background), FromColorRef(border)};
    applyScheme();
}

void CSkinEdit::focusInEvent(QFocusEvent* event) {
    focused_ = true;
    applyScheme();
    QLineEdit::focusInEvent(event);
}

void CSkinEdit::focusOutEvent(QFocusEvent* event) {
    focused_ = false;
    applyScheme();
    QLineEdit::focusOutEvent(event);
}

void CSkinEdit::applyScheme() {
    const Scheme s = CurrentScheme();
    QPalette pal = palette();
    for (QPalette::ColorGroup g : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        pal.setColor(g, QPalette::Text, s.text);
        pal.setColor(g, QPalette::Base, s.background);
        pal.setColor(g, QPalette::Window, s.background);
    }
    setPalette(pal);
    update();
}

void CSkinEdit::paintEvent(QPaintEvent* event) {
    {
        QPainter p(this);
        p.fillRect(rect(), CurrentScheme().background);
    }
    QLineEdit::paintEvent(event);
    QPainter p(this);
    p.setPen(CurrentScheme().border);
    p.drawRect(rect().adjusted(0, 0, -1, -1));
}

} // namespace orva

#include "gui/controls/CPngButton.h"

#include <QMouseEvent>
#include <QPainter>

namespace orva {

CPngButton::CPngButton(QWidget* parent) : QAbstractButton(parent) {
    setMouseTracking(true);
    setAttribute(Qt::WA_Hover, true);
    setFocusPolicy(Qt::TabFocus);
}

CPngButton::CPngButton(const QString& text, QWidget* parent) : CPngButton(parent) {
    setText(text);
}

bool CPngButton::SetPngFile(const QString& path) {
    QPixmap strip;
    if (!strip.load(path, "PNG"))
        return false;
    return SetPngImage(strip);
}

bool CPngButton::SetPngImage(const QPixmap& strip) {
    if (strip.isNull() || strip.width() < 5)
        return false;
    strip_ = strip;
    pictureSize_ = QSize(strip.width() / 5, strip.height());
    resize(pictureSize_);
    if (!toolTipTaken_) {
        toolTipTaken_ = true;
        if (!text().isEmpty())
            setToolTip(text());
    }
    update();
    return true;
}

void CPngButton::SetSelected(bool selected) {
    selected_ = selected;
    update();
}

void CPngButton::SetInactive(bool inactive) {
    inactive_ = inactive;
    update();
}

CPngButton::Picture CPngButton::CurrentPicture() const {
    if (inactive_)
        return Inactive;
    if (isDown())
        return Pressed;
    if (hover_)
        return Hover;
    if (!selected_)
        return Normal;
    return Selected;
}

QPixmap CPngButton::PictureOf(Picture p) const {
    if (strip_.isNull())
        return {};
    return strip_.copy(int(p) * pictureSize_.width(), 0, pictureSize_.width(), pictureSize_.height());
}

QSize CPngButton::sizeHint() const {
    return pictureSize_.isValid() ? pictureSize_ : QSize(16, 16);
}

void CPngButton::paintEvent(QPaintEvent*) {
    if (strip_.isNull())
        return;
    QPainter p(this);
    const int w = pictureSize_.width();
    const int h = pictureSize_.height();
    p.drawPixmap(QRect(0, 0, w, h), strip_, QRect(int(CurrentPicture()) * w, 0, w, h));
    if (!text().isEmpty()) {
        p.setPen(QColor(0, 0, 0, 255));
        p.setFont(font());
        const QFontMetrics fm(font());
        const QSize extent = fm.size(Qt::TextSingleLine, text());
        p.drawText(QRect((w - extent.width()) / 2, (h - extent.height()) / 2, extent.width(), extent.height()),
                   Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, text());
    }
}

void CPngButton::enterEvent(QEnterEvent* event) {
    hover_ = true;
    update();
    QAbstractButton::enterEvent(event);
}

void CPngButton::leaveEvent(QEvent* event) {
    hover_ = false;
    update();
    QAbstractButton::leaveEvent(event);
}

void CPngButton::mousePressEvent(QMouseEvent* event) {
    QAbstractButton::mousePressEvent(event);
    update();
}

void CPngButton::mouseReleaseEvent(QMouseEvent* event) {
    QAbstractButton::mouseReleaseEvent(event);
    update();
}

void CPngButton::mouseDoubleClickEvent(QMouseEvent* event) {
    // A quick second click is one more press, not something else.
    mousePressEvent(event);
}

} // namespace orva

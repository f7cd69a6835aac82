#include "gui/controls/CBitListBox.h"

#include "gui/controls/CBitComboBox.h"

#include <QPainter>

namespace orva {

CBitListBox::CBitListBox(CBitComboBox* owner) : QListView(owner), owner_(owner) {
    setUniformItemSizes(false);
}

void CBitListBox::paintEvent(QPaintEvent* event) {
    QListView::paintEvent(event);
    QPainter p(viewport());
    const QRect r = viewport()->rect();
    if (!owner_->ListLeft().isNull())
        p.drawPixmap(QRect(0, 0, owner_->ListLeft().width(), r.height()), owner_->ListLeft());
    if (!owner_->ListRight().isNull()) {
        const int w = owner_->ListRight().width();
        p.drawPixmap(QRect(r.width() - w, 0, w, r.height()), owner_->ListRight());
    }
    const int rows = model() ? model()->rowCount(rootIndex()) : 0;
    if (rows == 1 && !owner_->ListTop().isNull())
        p.drawPixmap(QRect(0, 0, r.width(), owner_->ListTop().height()), owner_->ListTop());
    if (rows > 0 && !owner_->ListBottom().isNull()) {
        const int h = owner_->ListBottom().height();
        p.drawPixmap(QRect(0, r.height() - h, r.width(), h), owner_->ListBottom());
    }
}

} // namespace orva

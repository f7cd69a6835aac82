#include "gui/controls/CBitComboBox.h"

#include "gui/controls/CBitListBox.h"
#include "gui/controls/ColorRef.h"
#include "gui/controls/SkinFiles.h"

#include <QLineEdit>
#include <QPainter>
#include <QStyledItemDelegate>

namespace orva {

namespace {

double luminance(const QColor& c) {
    return (0.299 * c.red() + 0.587 * c.green() + 0.114 * c.blue()) / 255.0;
}

QPixmap loadSkin(int id) {
    QPixmap p;
    const QString path = skin::SkinResourcePath(id);
    if (!path.isEmpty())
        p.load(path);
    return p;
}

// Items in the owner's colours: the current (highlighted) one in the highlight pair, the others in the
// normal pair; heights follow each text's extent.
class BitItemDelegate : public QStyledItemDelegate {
public:
    explicit BitItemDelegate(CBitComboBox* owner) : QStyledItemDelegate(owner), owner_(owner) {}

    void paint(QPainter* p, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        const bool highlighted = option.state & (QStyle::State_Selected | QStyle::State_HasFocus);
        const QColor back = highlighted ? owner_->HighlightBackground() : owner_->NormalBackground();
        const QColor text =
            highlighted ? CBitComboBox::ReadableOn(back, owner_->HighlightText()) : owner_->ReadableNormalText();
        p->save();
        p->fillRect(option.rect, back);
        p->setPen(text);
        p->setFont(option.font);
        p->drawText(option.rect.adjusted(CBitComboBox::kTextIndent, 0, 0, 0),
                    Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, index.data(Qt::DisplayRole).toString());
        p->restore();
    }

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        const QFontMetrics fm(option.font);
        const QSize extent = fm.size(Qt::TextSingleLine, index.data(Qt::DisplayRole).toString());
        return QSize(extent.width() + 2 * CBitComboBox::kTextIndent, extent.height() + 4);
    }

private:
    CBitComboBox* owner_;
};

} // namespace

CBitComboBox::CBitComboBox(QWidget* parent) : QComboBox(parent) {
    list_ = new CBitListBox(this);
    setView(list_);
    setItemDelegate(new BitItemDelegate(this));
}

void CBitComboBox::SetFaceBitmaps(int left, int right, int middle) {
    SetFacePixmaps(loadSkin(left), loadSkin(right), loadSkin(middle));
}

void CBitComboBox::SetListBitmaps(int left, int right, int top, int bottom) {
    SetListPixmaps(loadSkin(left), loadSkin(right), loadSkin(top), loadSkin(bottom));
}

void CBitComboBox::SetFacePixmaps(const QPixmap& left, const QPixmap& right, const QPixmap& middle) {
    faceLeft_ = left;
    faceRight_ = right;
    faceMiddle_ = middle;
    updateGeometry();
    update();
}

void CBitComboBox::SetListPixmaps(const QPixmap& left, const QPixmap& right, const QPixmap& top,
                                  const QPixmap& bottom) {
    listLeft_ = left;
    listRight_ = right;
    listTop_ = top;
    listBottom_ = bottom;
    list_->viewport()->update();
}

void CBitComboBox::SetHighlightColours(quint32 background, quint32 text) {
    highlightBack_ = FromColorRef(background);
    highlightText_ = FromColorRef(text);
    list_->viewport()->update();
}

void CBitComboBox::SetNormalColours(quint32 background, quint32 text) {
    normalBack_ = FromColorRef(background);
    normalText_ = FromColorRef(text);
    applyEditColours();
    update();
    list_->viewport()->update();
}

void CBitComboBox::ApplyStandardSkin() {
    using namespace skin;
    SetFaceBitmaps(kComboFaceLeftId, kComboFaceRightId, kComboFaceMiddleId);
    SetListBitmaps(kComboListLeftId, kComboListRightId, kComboListTopId, kComboListBottomId);
    SetHighlightColours(kComboHighlightBack, kComboHighlightText);
    SetNormalColours(kComboNormalBack, kComboNormalText);
}

QColor CBitComboBox::ReadableOn(const QColor& background, const QColor& wanted) {
    const double lb = luminance(background);
    if (std::abs(lb - luminance(wanted)) >= 0.3)
        return wanted;
    return lb > 0.5 ? QColor(Qt::black) : QColor(Qt::white);
}

QColor CBitComboBox::ReadableNormalText() const {
    return ReadableOn(normalBack_, normalText_);
}

QSize CBitComboBox::sizeHint() const {
    QSize s = QComboBox::sizeHint();
    if (!faceLeft_.isNull())
        s.setHeight(std::max(faceLeft_.height(), fontMetrics().height() + 6));
    return s;
}

QSize CBitComboBox::minimumSizeHint() const {
    QSize s = QComboBox::minimumSizeHint();
    if (!faceLeft_.isNull())
        s.setHeight(std::max(faceLeft_.height(), fontMetrics().height() + 6));
    return s;
}

void CBitComboBox::resizeEvent(QResizeEvent* event) {
    QComboBox::resizeEvent(event);
    update();
}

void CBitComboBox::applyEditColours() {
    if (QLineEdit* edit = lineEdit()) {
        QPalette pal = edit->palette();
        pal.setColor(QPalette::Base, normalBack_);
        pal.setColor(QPalette::Text, ReadableNormalText());
        edit->setPalette(pal);
        edit->setFrame(false);
    }
}

void CBitComboBox::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const int w = width();
    const int h = height();
    const int lw = faceLeft_.isNull() ? 0 : faceLeft_.width();
    const int rw = faceRight_.isNull() ? 0 : faceRight_.width();
    if (!faceMiddle_.isNull())
        p.drawPixmap(QRect(lw, 0, std::max(0, w - lw - rw), h), faceMiddle_);
    if (lw)
        p.drawPixmap(QRect(0, 0, lw, h), faceLeft_);
    if (rw)
        p.drawPixmap(QRect(w - rw, 0, rw, h), faceRight_);
    const QRect inner(lw, 3, std::max(0, w - lw - rw), std::max(0, h - 6));
    p.fillRect(inner, normalBack_);
    if (lineEdit()) {
        // The edit field sits where the text would be drawn; the base class places it by the style's
        // measures, which know nothing of the end bitmaps.
        const QRect field = inner.adjusted(kTextIndent, 0, 0, 0);
        const QPalette& pal = lineEdit()->palette();
        if (pal.color(QPalette::Base) != normalBack_ || pal.color(QPalette::Text) != ReadableNormalText())
            applyEditColours();
        if (lineEdit()->geometry() != field)
            lineEdit()->setGeometry(field);
        return;
    }
    p.setPen(ReadableNormalText());
    p.setFont(font());
    p.drawText(inner.adjusted(kTextIndent, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
               currentText());
}

} // namespace orva

#pragma once
// A skinned drop-down list: the face is drawn from three bitmaps (left end, stretched middle, right
// end), the list is a CBitListBox. Bitmaps are skin resource ids (SkinFiles.h), colours 0x00BBGGRR.
#include <QComboBox>
#include <QPixmap>

namespace orva {

class CBitListBox;

class CBitComboBox : public QComboBox {
    Q_OBJECT
public:
    explicit CBitComboBox(QWidget* parent = nullptr);

    void SetFaceBitmaps(int left, int right, int middle);
    void SetListBitmaps(int left, int right, int top, int bottom);
    void SetHighlightColours(quint32 background, quint32 text);
    void SetNormalColours(quint32 background, quint32 text);
    // The same with pictures in memory.
    void SetFacePixmaps(const QPixmap& left, const QPixmap& right, const QPixmap& middle);
    void SetListPixmaps(const QPixmap& left, const QPixmap& right, const QPixmap& top, const QPixmap& bottom);
    // The set-up every combo box of the tool uses: face 1014/150/155, list 156/153/154/151, highlight
    // 0xAE8A73 on 0xFFFFFF text, normal 0xFFFFFF/0xFFFFFF.
    void ApplyStandardSkin();

    QColor HighlightBackground() const { return highlightBack_; }
    QColor HighlightText() const { return highlightText_; }
    QColor NormalBackground() const { return normalBack_; }
    QColor NormalText() const { return normalText_; }
    // The colour unselected texts are actually drawn in: the normal text colour, unless it is too close
    // to the normal background to be read (the tool's own set-up is white on white), then black or white,
    // whichever stands out more.
    QColor ReadableNormalText() const;
    static QColor ReadableOn(const QColor& background, const QColor& wanted);

    const QPixmap& FaceLeft() const { return faceLeft_; }
    const QPixmap& FaceRight() const { return faceRight_; }
    const QPixmap& FaceMiddle() const { return faceMiddle_; }
    const QPixmap& ListLeft() const { return listLeft_; }
    const QPixmap& ListRight() const { return listRight_; }
    const QPixmap& ListTop() const { return listTop_; }
    const QPixmap& ListBottom() const { return listBottom_; }
    CBitListBox* ListBox() const { return list_; }

    // Text starts this many pixels right of the left end bitmap's inner edge.
    static constexpr int kTextIndent = 4;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void applyEditColours();

    QPixmap faceLeft_, faceRight_, faceMiddle_;
    QPixmap listLeft_, listRight_, listTop_, listBottom_;
    QColor highlightBack_{0x73, 0x8A, 0xAE};
    QColor highlightText_{Qt::white};
    QColor normalBack_{Qt::white};
    QColor normalText_{Qt::black};
    CBitListBox* list_ = nullptr;
};

} // namespace orva

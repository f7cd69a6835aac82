#pragma once
// An image button cut from a PNG strip of five equal pictures side by side:
// 0 normal, 1 mouse over, 2 pressed, 3 selected, 4 inactive.
#include <QAbstractButton>
#include <QPixmap>

namespace orva {

class CPngButton : public QAbstractButton {
    Q_OBJECT
public:
    enum Picture { Normal = 0, Hover = 1, Pressed = 2, Selected = 3, Inactive = 4 };

    explicit CPngButton(QWidget* parent = nullptr);
    explicit CPngButton(const QString& text, QWidget* parent = nullptr);

    // Loads the strip (replacing a previous one) and resizes the button to one picture, keeping its
    // position. The first successful load takes the button's text as its tool tip. False when the file
    // cannot be read; the button then draws nothing.
    bool SetPngFile(const QString& path);
    // The same with a picture already in memory (tests, generated skins).
    bool SetPngImage(const QPixmap& strip);

    void SetSelected(bool selected);
    void SetInactive(bool inactive);
    bool IsSelected() const { return selected_; }
    bool IsInactive() const { return inactive_; }
    bool IsHover() const { return hover_; }

    // The picture the button shows now (first match: inactive, pressed, mouse over, not selected → normal,
    // otherwise selected).
    Picture CurrentPicture() const;
    // One picture of the strip; null when no strip is loaded.
    QSize PictureSize() const { return pictureSize_; }
    QPixmap PictureOf(Picture p) const;
    bool HasImage() const { return !strip_.isNull(); }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    QPixmap strip_;
    QSize pictureSize_;
    bool toolTipTaken_ = false;
    bool selected_ = false;
    bool inactive_ = false;
    bool hover_ = false;
};

} // namespace orva

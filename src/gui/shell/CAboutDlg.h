#pragma once
// The about page: its background picture, sized to the picture, and an OK button that ends the page as
// a dialog's OK would: the page goes away, and its navigation button brings it back.
#include "gui/shell/Page.h"

#include <QPixmap>

class QPushButton;

namespace orva {

class CLabelEx;

class CAboutDlg : public Page {
    Q_OBJECT
public:
    explicit CAboutDlg(QWidget* parent = nullptr);

    const QPixmap& background() const { return background_; }
    QPushButton* okButton() const { return ok_; }

public slots:
    // The OK button (and Return or Enter, as in a dialog): hides the page.
    void onOk();

signals:
    // Emitted once the page has ended with OK.
    void accepted();

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void placeOkButton();

    QPixmap background_;
    // Two text fields the page keeps hidden.
    CLabelEx* text1_ = nullptr;
    CLabelEx* text2_ = nullptr;
    QPushButton* ok_ = nullptr;
};

} // namespace orva

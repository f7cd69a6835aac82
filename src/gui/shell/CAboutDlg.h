#pragma once
// The about page: its background picture, sized to the picture.
#include "shell/Page.h"

#include <QPixmap>

namespace orva {

class CLabelEx;

class CAboutDlg : public Page {
    Q_OBJECT
public:
    explicit CAboutDlg(QWidget* parent = nullptr);

    const QPixmap& background() const { return background_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QPixmap background_;
    // Two text fields the page keeps hidden.
    CLabelEx* text1_ = nullptr;
    CLabelEx* text2_ = nullptr;
};

} // namespace orva

#include "shell/CAboutDlg.h"

#include "controls/CLabelEx.h"
#include "controls/SkinFiles.h"

#include <QPainter>

namespace orva {

CAboutDlg::CAboutDlg(QWidget* parent) : Page(parent) {
    background_.load(skin::SkinPath(QString::fromUtf8(skin::kAboutBackground)));
    if (!background_.isNull()) {
        setDesignSize(background_.size());
        resize(background_.size());
    }
    text1_ = new CLabelEx(this);
    text2_ = new CLabelEx(this);
    text1_->hide();
    text2_->hide();
}

void CAboutDlg::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), QColor(240, 240, 240));
    if (!background_.isNull())
        p.drawPixmap(0, 0, background_);
}

} // namespace orva

#include "gui/shell/CAboutDlg.h"

#include "core/app/TextTable.h"
#include "gui/controls/CLabelEx.h"
#include "gui/controls/SkinFiles.h"

#include <QPainter>
#include <QPushButton>

namespace orva {

namespace {

// A dialog button's usual size and its distance from the page's bottom-right corner.
constexpr QSize kOkSize{75, 23};
constexpr int kOkMargin = 12;

} // namespace

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

    ok_ = new QPushButton(IsEnglish() ? QStringLiteral("OK") : QStringLiteral("确定"), this);
    ok_->setObjectName(QStringLiteral("okButton"));
    ok_->setDefault(true);
    placeOkButton();
    connect(ok_, &QAbstractButton::clicked, this, &CAboutDlg::onOk);
}

void CAboutDlg::onOk() {
    hide();
    emit accepted();
}

void CAboutDlg::placeOkButton() {
    ok_->setGeometry(width() - kOkMargin - kOkSize.width(), height() - kOkMargin - kOkSize.height(), kOkSize.width(),
                     kOkSize.height());
}

void CAboutDlg::resizeEvent(QResizeEvent* event) {
    Page::resizeEvent(event);
    placeOkButton();
}

void CAboutDlg::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->accept();
        onOk();
        return;
    }
    Page::keyPressEvent(event);
}

void CAboutDlg::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), QColor(240, 240, 240));
    if (!background_.isNull())
        p.drawPixmap(0, 0, background_);
}

} // namespace orva

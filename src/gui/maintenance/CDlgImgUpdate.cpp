#include "gui/maintenance/CDlgImgUpdate.h"
#include "gui/common/QtText.h"

#include "core/app/TextTable.h"
#include "gui/common/UiDispatcher.h"
#include "gui/common/UiPrompts.h"
#include "gui/controls/AppIcon.h"
#include "gui/controls/CPngButton.h"
#include "gui/maintenance/PageStyle.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>

namespace orva {

namespace {

constexpr const char* kNote1 = "1）若设备语音1灯被点亮，则说明传输失败，需断电重启重新进行升级。";
constexpr const char* kNote2 =
    "2）若设备语音1灯没被点亮，则说明传输成功并且设备正在更新镜像。等待20秒后可观察到光信号灯长亮，"
    "说明设备已重启，镜像升级成功；若未观察到光信号灯长亮，说明镜像升级失败，需断电重启重新进行升级。";

} // namespace

CDlgImgUpdate::CDlgImgUpdate(QWidget* parent) : Page(parent), session_(*this) {
    chooseCaption_ = new QLabel(QStringLiteral("选择镜像："), this);
    pathEdit_ = new QLineEdit(this);
    browse_ = new CPngButton(this);
    progress_ = new QProgressBar(this);
    progress_->setRange(0, 100);
    progress_->setValue(0);
    status_ = new QLabel(QStringLiteral("镜像已传输完毕！"), this);
    status_->hide();
    transfer_ = new CPngButton(this);
    cancel_ = new CPngButton(this);
    resultCaption_ = new QLabel(QStringLiteral("升级结果："), this);
    results_ = new QListWidget(this);
    results_->setSortingEnabled(false);

    // Notes for the technician that the page keeps hidden.
    afterTransfer_ = new QLabel(QStringLiteral("镜像传输完成后："), this);
    note1_ = new QLabel(QString::fromUtf8(kNote1), this);
    note2_ = new QLabel(QString::fromUtf8(kNote2), this);
    note1_->setWordWrap(true);
    note2_->setWordWrap(true);
    for (QLabel* hidden : {afterTransfer_, note1_, note2_})
        hidden->hide();
    check_ = new QPushButton(QStringLiteral("测试"), this);
    check_->hide();
    queryAgain_ = new QPushButton(Caption(TextId::CapQueryAgain), this);

    if (IsEnglish()) {
        chooseCaption_->setText(Q(Text(TextId::CapChooseImage)));
        afterTransfer_->setText(Q(Text(TextId::CapAfterTransfer)));
        note1_->setText(Q(Text(TextId::CapTransferNote1)));
        note2_->setText(Q(Text(TextId::CapTransferNote2)));
        setWindowTitle(Q(Text(TextId::TitleImageUpgrade)));
    }
    // The page carries the application's icon as its own (big and small).
    setWindowIcon(skin::ApplicationIcon());
    browse_->SetPngFile(maintenance_page::SkinFile(skin::kImageBrowse));
    transfer_->SetPngFile(maintenance_page::SkinFile(skin::kImageTransfer));
    cancel_->SetPngFile(maintenance_page::SkinFile(skin::kImageCancel));

    setDesignSize(maintenance_page::kImgUpdateDesignSize);
    resize(maintenance_page::kImgUpdateDesignSize);
    layOut();

    connect(browse_, &QAbstractButton::clicked, this, &CDlgImgUpdate::onBrowse);
    connect(transfer_, &QAbstractButton::clicked, this, &CDlgImgUpdate::onTransfer);
    connect(cancel_, &QAbstractButton::clicked, this, &CDlgImgUpdate::onCancel);
    connect(check_, &QAbstractButton::clicked, this, &CDlgImgUpdate::onCheck);
    connect(queryAgain_, &QAbstractButton::clicked, this, &CDlgImgUpdate::onQueryAgain);
}

CDlgImgUpdate::~CDlgImgUpdate() = default;

void CDlgImgUpdate::layOut() {
    const int width = maintenance_page::kImgUpdateDesignSize.width();
    const int captionWidth = chooseCaption_->fontMetrics().horizontalAdvance(chooseCaption_->text()) + 8;
    chooseCaption_->setGeometry(30, 32, captionWidth, 22);
    const int buttonWidth = browse_->width();
    const int editLeft = 30 + captionWidth + 6;
    pathEdit_->setGeometry(editLeft, 30, width - 30 - buttonWidth - 12 - editLeft, 26);
    browse_->move(width - 30 - buttonWidth, 28);
    progress_->setGeometry(30, 80, width - 60, 22);
    status_->setGeometry(30, 110, width - 60, 22);
    transfer_->move(30, 145);
    cancel_->move(30 + transfer_->width() + 14, 145);
    resultCaption_->setGeometry(30, 195, width - 60, 20);
    results_->setGeometry(30, 220, width - 60, 280);
    afterTransfer_->setGeometry(30, 505, width - 60, 18);
    note1_->setGeometry(30, 523, width - 60, 18);
    note2_->setGeometry(30, 541, width - 60, 40);
    check_->setGeometry(width - 110, 145, 80, 28);
    const int queryLeft = 30 + transfer_->width() + 14 + cancel_->width() + 14;
    queryAgain_->setGeometry(queryLeft, 145 + (transfer_->height() - 28) / 2, 110, 28);
}

void CDlgImgUpdate::onBrowse() {
    UiPrompts::FileDialogOptions options;
    options.filter = UiPrompts::filterFromClassic(QString::fromUtf8(kImageFilter));
    const QString chosen = UiPrompts::getOpenFileName(this, options);
    if (chosen.isEmpty())
        return;
    session_.setImagePath(chosen.toStdString());
    pathEdit_->setText(chosen);
}

void CDlgImgUpdate::onTransfer() {
    // The session shows "请选择镜像" without an image and ignores the press while it runs.
    session_.startTransfer();
}

void CDlgImgUpdate::onCancel() {
    // Without a running transfer the session shows "当前未有传输" and changes nothing.
    session_.cancel();
}

void CDlgImgUpdate::onCheck() {
    session_.startCheck();
}

void CDlgImgUpdate::onQueryAgain() {
    // Ignored while a session runs; the button is disabled then anyway.
    session_.startStatusQuery();
}

void CDlgImgUpdate::setTransferEnabled(bool enabled) {
    transfer_->setEnabled(enabled);
    transfer_->SetInactive(!enabled);
    queryAgain_->setEnabled(enabled);
}

void CDlgImgUpdate::progressChanged(int percent) {
    PostToUi(this, [this, percent] {
        // A share sent by a transfer cancelled meanwhile arrives after the cancel has reset the bar.
        if (percent != 0 && !session_.running())
            return;
        progress_->setValue(percent);
    });
}

void CDlgImgUpdate::statusChanged(const std::string& text) {
    PostToUi(this, [this, text = Q(text)] {
        status_->setText(text);
        status_->show();
    });
}

void CDlgImgUpdate::statusHidden() {
    PostToUi(this, [this] {
        status_->hide();
        // Hiding the status label is the last thing every run does, whichever way it ends.
        emit upgradeDone();
    });
}

void CDlgImgUpdate::transferEnabled(bool enabled) {
    PostToUi(this, [this, enabled] { setTransferEnabled(enabled); });
}

void CDlgImgUpdate::resultLine(const std::string& line) {
    PostToUi(this, [this, text = Q(line)] { results_->addItem(text); });
}

void CDlgImgUpdate::transferFailed(const std::string&) {
    // The session has shown the message already; the page returns to idle with the calls that follow.
}

void CDlgImgUpdate::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        if (transfer_->isEnabled())
            onTransfer();
        event->accept();
        return;
    }
    Page::keyPressEvent(event);
}

void CDlgImgUpdate::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), maintenance_page::kBackground);
}

} // namespace orva

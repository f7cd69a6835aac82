#include "gui/diagnosis/CDlgJudge.h"

#include "gui/common/DragByPress.h"
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QVBoxLayout>
#include <QWindow>

namespace orva {

CDlgJudge::CDlgJudge(QWidget* owner) : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
    new DragByPress(this);
    setModal(false);
    setWindowTitle(QStringLiteral("检测"));
    setObjectName(QStringLiteral("judgeDialog"));

    text_ = new QLabel(this);
    text_->setObjectName(QStringLiteral("judgeText"));
    text_->setWordWrap(true);
    text_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    text_->setMinimumSize(260, 60);

    ok_ = new QPushButton(QStringLiteral("确定"), this);
    ok_->setObjectName(QStringLiteral("judgeOk"));
    ok_->setDefault(true);
    cancel_ = new QPushButton(QStringLiteral("取消"), this);
    cancel_->setObjectName(QStringLiteral("judgeCancel"));
    cancel_->setAutoDefault(false);
    connect(ok_, &QPushButton::clicked, this, &CDlgJudge::onOk);
    connect(cancel_, &QPushButton::clicked, this, &CDlgJudge::onCancel);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok_);
    buttons->addWidget(cancel_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text_, 1);
    layout->addLayout(buttons);
    resize(320, 150);
}

void CDlgJudge::SetMode(int mode) {
    mode_ = mode == YesNo ? YesNo : Information;
    cancel_->setVisible(mode_ == YesNo);
}

void CDlgJudge::SetQuestion(const QString& title, const QString& text, int questionId, int value) {
    setWindowTitle(title);
    text_->setText(text);
    questionId_ = questionId;
    value_ = value;
}

QString CDlgJudge::text() const {
    return text_->text();
}

void CDlgJudge::showEvent(QShowEvent* event) {
    cancel_->setVisible(mode_ == YesNo);
    ok_->setFocus();
    QDialog::showEvent(event);
}

void CDlgJudge::onOk() {
    // Hidden first: the answer may bring the next question, which shows this window again.
    hide();
    if (mode_ == YesNo)
        emit answeredYes(questionId_, value_);
    else
        emit acknowledged(questionId_);
}

void CDlgJudge::onCancel() {
    if (mode_ != YesNo)
        return;
    hide();
    emit answeredNo(questionId_, value_);
}

void CDlgJudge::reject() {
    onCancel();
}

void CDlgJudge::closeEvent(QCloseEvent* event) {
    // Only an answer closes the window; a close request counts as the cancel key.
    event->ignore();
    if (isVisible())
        onCancel();
}

} // namespace orva

#include "gui/controls/CProgressDlg.h"

#include <QLabel>
#include <QMetaObject>
#include <QProgressBar>
#include <QThread>
#include <QVBoxLayout>

namespace orva {

QString CProgressDlg::DefaultText() {
    return QStringLiteral("更新文件下载中...");
}

CProgressDlg::CProgressDlg(QWidget* parent) : QDialog(parent) {
    setModal(false);
    setWindowTitle(QStringLiteral("Velmar终端诊断工具"));
    auto* layout = new QVBoxLayout(this);
    label_ = new QLabel(DefaultText(), this);
    bar_ = new QProgressBar(this);
    bar_->setRange(0, 0);
    bar_->setTextVisible(true);
    layout->addWidget(label_);
    layout->addWidget(bar_);
    resize(300, 90);
}

QString CProgressDlg::Text() const {
    return label_->text();
}

void CProgressDlg::SetText(const QString& text) {
    label_->setText(text);
}

void CProgressDlg::SetProgress(qint64 done, qint64 total) {
    if (QThread::currentThread() != thread()) {
        QMetaObject::invokeMethod(
            this, [this, done, total] { applyProgress(done, total); }, Qt::QueuedConnection);
        return;
    }
    applyProgress(done, total);
}

void CProgressDlg::applyProgress(qint64 done, qint64 total) {
    if (total <= 0) {
        bar_->setRange(0, 0);
        return;
    }
    bar_->setRange(0, 100);
    const qint64 clamped = std::clamp<qint64>(done, 0, total);
    bar_->setValue(int(clamped * 100 / total));
}

int CProgressDlg::ProgressValue() const {
    return IsBusyIndicator() ? -1 : bar_->value();
}

bool CProgressDlg::IsBusyIndicator() const {
    return bar_->maximum() == 0;
}

} // namespace orva

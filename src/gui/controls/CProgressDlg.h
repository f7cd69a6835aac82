#pragma once
// The small modeless window shown while an update downloads: the text "更新文件下载中..." and a
// progress bar (busy until a total is known). It has no logic of its own and no cancel.
#include <QDialog>

class QLabel;
class QProgressBar;

namespace orva {

class CProgressDlg : public QDialog {
    Q_OBJECT
public:
    explicit CProgressDlg(QWidget* parent = nullptr);

    QString Text() const;
    void SetText(const QString& text);
    // done of total bytes; total <= 0 shows a busy bar. Safe to call from any thread (queued to the
    // window's thread).
    void SetProgress(qint64 done, qint64 total);
    int ProgressValue() const; // 0..100, -1 while busy
    bool IsBusyIndicator() const;

    static QString DefaultText();

private:
    void applyProgress(qint64 done, qint64 total);

    QLabel* label_;
    QProgressBar* bar_;
};

} // namespace orva

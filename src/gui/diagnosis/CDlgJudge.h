#pragma once
// The prompt window of a diagnosis: a small modeless window without a close box through which the
// technician acknowledges a preparation step (mode 0, OK only) or judges what only a person can observe
// (mode 1, OK and Cancel). It is created hidden with the diagnosis page and reused for every question;
// an answer hides the window before it is handed on, so the next question may open it again at once.
#include <QDialog>

class QLabel;
class QPushButton;

namespace orva {

class CDlgJudge : public QDialog {
    Q_OBJECT
public:
    enum Mode { Information = 0, YesNo = 1 };

    explicit CDlgJudge(QWidget* owner);

    void SetMode(int mode);
    // Caption, text, and the question id and value the answer carries back.
    void SetQuestion(const QString& title, const QString& text, int questionId, int value);

    int mode() const { return mode_; }
    int questionId() const { return questionId_; }
    int value() const { return value_; }
    QString text() const;
    QPushButton* okButton() const { return ok_; }
    QPushButton* cancelButton() const { return cancel_; }

signals:
    // OK in mode 0.
    void acknowledged(int questionId);
    // OK in mode 1.
    void answeredYes(int questionId, int value);
    // Cancel (or the cancel key) in mode 1.
    void answeredNo(int questionId, int value);

public slots:
    // The cancel key and the window system's close request end here: a judgement is answered no, an
    // information prompt stays open, since the run waits for its OK.
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void onOk();
    void onCancel();

    QLabel* text_ = nullptr;
    QPushButton* ok_ = nullptr;
    QPushButton* cancel_ = nullptr;
    int mode_ = Information;
    int questionId_ = 0;
    int value_ = 0;
};

} // namespace orva

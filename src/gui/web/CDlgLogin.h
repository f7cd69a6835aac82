#pragma once
// The login dialog: user name and password, the login on a thread of its own (online first, offline
// when no answer comes), the update offer with its download. Ends with OK once logged in; Cancel and
// the close button end the whole process.
#include "core/web/LoginService.h"

#include <QDialog>
#include <QPixmap>

#include <atomic>
#include <string>
#include <thread>

namespace orva {

class CAnimatedPicture;
class CLabelEx;
class CPngButton;
class CProgressDlg;
class CSkinEdit;

class CDlgLogin : public QDialog {
    Q_OBJECT
public:
    static constexpr const char* kWindowTitle = "Velmar终端诊断工具";
    static constexpr const char* kDefaultUserName = "vladmin";
    static constexpr const char* kDefaultPassword = "1";
    // Exit code when the technician gives up, or after a downloaded update.
    static constexpr int kExitCode = 255;

    // The Version and LoginURL settings.
    CDlgLogin(QWidget* parent, std::string version, std::string loginUrl);
    ~CDlgLogin() override;

    // The name typed, as the operator of every record.
    std::string userName() const;
    bool loginRunning() const { return loginRunning_.load(); }

    CSkinEdit* userNameEdit() const { return userEdit_; }
    CSkinEdit* passwordEdit() const { return passwordEdit_; }
    CPngButton* loginButton() const { return loginButton_; }
    CPngButton* cancelButton() const { return cancelButton_; }
    CPngButton* closeButton() const { return closeButton_; }
    CPngButton* minimiseButton() const { return minimiseButton_; }
    CLabelEx* statusLabel() const { return status_; }
    CLabelEx* userNameCaption() const { return userCaption_; }
    CLabelEx* passwordCaption() const { return passwordCaption_; }
    CAnimatedPicture* busyPicture() const { return busy_; }
    CProgressDlg* progressDialog() const { return progress_; }

signals:
    // After every answer of the login thread has been handled (tests wait on it).
    void loginAttemptHandled();

public slots:
    void onLogin();
    // Cancel, the close button, Escape and closing the window: the process ends.
    void reject() override;
    void onMinimise();

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void layOut();
    void handleResult(const LoginResult& result);
    void setStatus(const QString& text);
    // False when the process was ended (only a test's exit hook comes back here).
    bool offerUpdate(const LoginResult& result);
    bool downloadLoop(const std::string& url, const QString& path);
    bool download(const std::string& url, const QString& path);
    void endProcess();

    std::string version_;
    std::string loginUrl_;
    std::jthread loginThread_;
    std::atomic<bool> loginRunning_{false};
    bool ended_ = false;

    QPixmap background_;
    CSkinEdit* userEdit_ = nullptr;
    CSkinEdit* passwordEdit_ = nullptr;
    CLabelEx* userCaption_ = nullptr;
    CLabelEx* passwordCaption_ = nullptr;
    CLabelEx* status_ = nullptr;
    CAnimatedPicture* busy_ = nullptr;
    CPngButton* loginButton_ = nullptr;
    CPngButton* cancelButton_ = nullptr;
    CPngButton* closeButton_ = nullptr;
    CPngButton* minimiseButton_ = nullptr;
    CProgressDlg* progress_ = nullptr;
};

} // namespace orva

#include "gui/web/CDlgLogin.h"
#include "gui/common/QtText.h"

#include "core/app/AppSettings.h"
#include "core/app/LogFile.h"
#include "core/app/ProgramDirectory.h"
#include "core/app/TextTable.h"
#include "gui/common/DragByPress.h"
#include "gui/common/UiPrompts.h"
#include "gui/controls/CAnimatedPicture.h"
#include "gui/controls/CLabelEx.h"
#include "gui/controls/CPngButton.h"
#include "gui/controls/CProgressDlg.h"
#include "gui/controls/CSkinEdit.h"
#include "gui/controls/SkinFiles.h"
#include "gui/shell/ProcessExit.h"
#include "core/web/HttpClient.h"

#include <QApplication>
#include <QEventLoop>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QWindow>

#include <algorithm>
#include <utility>

namespace orva {

namespace {

constexpr quint32 kWhite = 0xFFFFFF;

QString Skin(const char* name) {
    return skin::SkinPath(QString::fromUtf8(name));
}

} // namespace

CDlgLogin::CDlgLogin(QWidget* parent, std::string version, std::string loginUrl)
    : QDialog(parent), version_(std::move(version)), loginUrl_(std::move(loginUrl)) {
    new DragByPress(this);
    // A window of its own in the task bar, drawn entirely from its background picture.
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint | Qt::WindowMinimizeButtonHint);
    setAttribute(Qt::WA_OpaquePaintEvent);

    userCaption_ = new CLabelEx(QStringLiteral("用户名:"), this);
    passwordCaption_ = new CLabelEx(QStringLiteral("密  码:"), this);
    if (IsEnglish()) {
        userCaption_->setText(Q(Text(TextId::CapUserName)));
        passwordCaption_->setText(Q(Text(TextId::CapPassword)));
        setWindowTitle(Q(Text(TextId::TitleLogin)));
    }
    userEdit_ = new CSkinEdit(this);
    passwordEdit_ = new CSkinEdit(this);
    passwordEdit_->setEchoMode(QLineEdit::Password);
    status_ = new CLabelEx(this);
    status_->hide();
    busy_ = new CAnimatedPicture(this);

    loginButton_ = new CPngButton(this);
    cancelButton_ = new CPngButton(this);
    closeButton_ = new CPngButton(this);
    minimiseButton_ = new CPngButton(this);
    loginButton_->SetPngFile(Skin(skin::kLoginOk));
    cancelButton_->SetPngFile(Skin(skin::kLoginCancel));
    closeButton_->SetPngFile(Skin(skin::kClose));
    minimiseButton_->SetPngFile(Skin(skin::kMinimise));
    background_.load(Skin(skin::kLoginBackground));
    connect(loginButton_, &QAbstractButton::clicked, this, &CDlgLogin::onLogin);
    connect(cancelButton_, &QAbstractButton::clicked, this, &CDlgLogin::reject);
    connect(closeButton_, &QAbstractButton::clicked, this, &CDlgLogin::reject);
    connect(minimiseButton_, &QAbstractButton::clicked, this, &CDlgLogin::onMinimise);

    layOut();

    userEdit_->setText(QString::fromUtf8(kDefaultUserName));
    passwordEdit_->setText(QString::fromUtf8(kDefaultPassword));
    userCaption_->SetTextColour(kWhite);
    passwordCaption_->SetTextColour(kWhite);
    status_->SetTextColour(kWhite);
    userEdit_->SetNoFocusColor(0xFFFFFF, 0x8A4F1E, 0x311A08);
    userEdit_->SetFocusColor(0x000000, 0xFFFFFF, 0x311A08);

    LogFile::instance().open(JoinPath(ProgramDirectory(), "orva.log"));
    setWindowTitle(QString::fromUtf8(kWindowTitle));

    progress_ = new CProgressDlg(this);
    progress_->SetText(QString::fromUtf8(kDownloadingText));
    progress_->hide();

    busy_->LoadFromResource(skin::kBusyGifId, QStringLiteral("Gif"));
    busy_->StartAnimation();
    busy_->hide();
    setTabOrder(userEdit_, passwordEdit_);
    userEdit_->setFocus();
}

CDlgLogin::~CDlgLogin() {
    // The thread's answer is posted to this window; Qt drops it once the window is gone.
    if (loginThread_.joinable())
        loginThread_.join();
}

void CDlgLogin::layOut() {
    const QSize size = background_.isNull() ? QSize(480, 330) : background_.size();
    setFixedSize(size);
    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->geometry().center() - QPoint(size.width() / 2, size.height() / 2));

    // Captions start at x 95; a longer (English) caption starts further left so that it still ends
    // before the edit box instead of disappearing under it.
    for (auto [label, y] : {std::pair{userCaption_, 160}, std::pair{passwordCaption_, 210}}) {
        const int width = std::max(55, label->fontMetrics().horizontalAdvance(label->text()) + 4);
        label->setGeometry(std::min(95, 148 - width), y, width, 16);
    }
    userEdit_->setGeometry(150, 150, 230, 30);
    passwordEdit_->setGeometry(150, 205, 230, 30);
    status_->setGeometry(150, 255, 130, 15);
    busy_->setGeometry(280, 262, 100, 8);
    loginButton_->move(150, 280);
    cancelButton_->move(270, 280);
    closeButton_->move(size.width() - 32, 16);
    minimiseButton_->setGeometry(size.width() - 56, 21, minimiseButton_->width(), 21);
}

std::string CDlgLogin::userName() const {
    return userEdit_->text().toStdString();
}

void CDlgLogin::setStatus(const QString& text) {
    status_->setText(text);
    status_->repaint();
}

void CDlgLogin::onLogin() {
    if (ended_)
        return;
    const std::string user = userEdit_->text().toStdString();
    const std::string password = passwordEdit_->text().toStdString();
    if (user.empty()) {
        UiPrompts::information(this, Q(Text(TextId::UserNameEmpty)));
        userEdit_->setFocus();
        return;
    }
    if (password.empty()) {
        UiPrompts::information(this, Q(Text(TextId::PasswordEmpty)));
        passwordEdit_->setFocus();
        return;
    }
    if (!loginRunning_.load()) {
        if (loginThread_.joinable())
            loginThread_.join();
        LoginInput input;
        input.loginUrl = loginUrl_;
        input.version = version_;
        input.userName = user;
        input.password = password;
        input.programDir = ProgramDirectory();
        input.runNet = Settings().RunNet;
        loginRunning_.store(true);
        loginThread_ = std::jthread([this, input = std::move(input)] {
            const LoginResult result = LoginService(input).Login();
            // Handled on the dialog's thread; the worker ends right after.
            QMetaObject::invokeMethod(
                this, [this, result] { handleResult(result); }, Qt::QueuedConnection);
        });
    }
    loginButton_->setEnabled(false);
    setStatus(QString::fromUtf8(kLoggingInText));
    status_->show();
    busy_->show();
}

void CDlgLogin::handleResult(const LoginResult& result) {
    loginButton_->setEnabled(true);
    busy_->hide();
    if (loginThread_.joinable())
        loginThread_.join();
    loginRunning_.store(false);

    const bool offline = result.outcome == LoginOutcome::OfflineOk || result.outcome == LoginOutcome::OfflineFailed ||
                         result.outcome == LoginOutcome::OfflineUnavailable;
    if (offline)
        setStatus(QString::fromUtf8(kOfflineFallbackText));
    switch (result.display) {
    case LoginDisplay::MessageBox:
        UiPrompts::information(this, Q(result.message));
        if (result.outcome == LoginOutcome::PasswordEmpty)
            passwordEdit_->setFocus();
        else if (result.outcome == LoginOutcome::UserNameEmpty)
            userEdit_->setFocus();
        break;
    case LoginDisplay::StatusLabel:
        if (!result.message.empty())
            setStatus(Q(result.message));
        break;
    case LoginDisplay::Question:
        break;
    }
    if (result.loggedIn()) {
        if (result.outcome != LoginOutcome::UpdateOffered || offerUpdate(result))
            accept();
    }
    emit loginAttemptHandled();
}

bool CDlgLogin::offerUpdate(const LoginResult& result) {
    if (!UiPrompts::askOkCancel(this, Q(result.message)))
        return true;
    UiPrompts::FileDialogOptions options;
    options.defaultFileName = QStringLiteral("setup.exe");
    options.defaultSuffix = QStringLiteral("exe");
    options.filter = UiPrompts::filterFromClassic(QStringLiteral("(*.exe)|*.exe|All files (*.*)|*.*||"));
    const QString path = UiPrompts::getSaveFileName(this, options);
    if (path.isEmpty() || !result.downloadUrlFound)
        return true;
    return downloadLoop(result.downloadUrl, path);
}

bool CDlgLogin::downloadLoop(const std::string& url, const QString& path) {
    for (;;) {
        progress_->show();
        progress_->raise();
        const bool ok = download(url, path);
        progress_->hide();
        if (ok) {
            UiPrompts::information(this, Q(Text(TextId::UpdateDownloadOk)));
            // The technician installs the new version by hand; this copy ends here.
            endProcess();
            return false;
        }
        if (!UiPrompts::askOkCancel(this, Q(Text(TextId::UpdateDownloadFailed))))
            return true;
    }
}

bool CDlgLogin::download(const std::string& url, const QString& path) {
    // The download runs beside the window so the progress window keeps painting; the dialog takes no
    // input meanwhile, as if the call blocked it.
    setEnabled(false);
    bool ok = false;
    QEventLoop loop;
    std::jthread worker([&, target = path.toStdString()] {
        CHttpClient client;
        ok = client.Download(url, target);
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    worker.join();
    setEnabled(true);
    return ok;
}

void CDlgLogin::endProcess() {
    ended_ = true;
    ExitProcess(kExitCode);
    // Only a test's exit hook returns: the dialog ends without a login.
    QDialog::done(QDialog::Rejected);
}

void CDlgLogin::reject() {
    endProcess();
}

void CDlgLogin::onMinimise() {
    if (QWidget* main = parentWidget())
        main->window()->showMinimized();
    hide();
}

void CDlgLogin::paintEvent(QPaintEvent*) {
    QPainter p(this);
    if (!background_.isNull())
        p.drawPixmap(0, 0, background_);
    else
        p.fillRect(rect(), QColor(30, 79, 138));
}

void CDlgLogin::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        if (loginButton_->isEnabled())
            onLogin();
        return;
    }
    QDialog::keyPressEvent(event);
}

} // namespace orva

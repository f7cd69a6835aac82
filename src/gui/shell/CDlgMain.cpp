#include "gui/shell/CDlgMain.h"
#include "gui/common/QtText.h"

#include "core/app/AppSettings.h"
#include "core/app/ProgramDirectory.h"
#include "core/app/TextTable.h"
#include "gui/common/DragByPress.h"
#include "gui/common/GuiNotifier.h"
#include "gui/common/UiPrompts.h"
#include "gui/controls/CPngButton.h"
#include "gui/controls/SkinFiles.h"
#include "core/records/UploadPass.h"
#include "gui/shell/MainLayout.h"
#include "gui/shell/Pages.h"
#include "gui/web/CDlgLogin.h"

#include <QEventLoop>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QTimer>
#include <QWindow>

namespace orva {

namespace {

// Used when top.png is missing, so the window keeps a usable width.
constexpr int kFallbackHeaderWidth = 1000;

void CentreOnScreen(QWidget* w) {
    QScreen* screen = w->screen() ? w->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->geometry();
    w->move(area.center() - QPoint(w->width() / 2, w->height() / 2));
}

} // namespace

CDlgMain::CDlgMain(std::string version, std::string loginUrl, std::string reportUrl, QWidget* parent)
    : QDialog(parent), version_(std::move(version)), loginUrl_(std::move(loginUrl)), reportUrl_(std::move(reportUrl)) {
    new DragByPress(this);
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint | Qt::WindowMinimizeButtonHint);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

CDlgMain::~CDlgMain() {
    // Before any worker is waited for (the upload pass here, the pages' sessions with the pages): one
    // waiting for a box would otherwise wait for this thread, which waits for it.
    GuiNotifier::BeginShutdownOfInstalled();
    // A pass still under way is asked to end; its destructor waits for the request in flight.
    if (upload_)
        upload_->requestStop();
}

std::string CDlgMain::NavigationImage(PageId id) {
    switch (id) {
    case PageId::Diagnosis:
        return skin::kNavDiagnosis;
    case PageId::Reset:
        return skin::kNavReset;
    case PageId::ImgUpdate:
        return skin::kNavImageUpdate;
    case PageId::Template:
        return skin::kNavConfig;
    case PageId::LogQuery:
        return skin::kNavLogQuery;
    case PageId::About:
        return skin::kNavAbout;
    }
    return {};
}

std::string CDlgMain::SwitchRefusal(PageId current, const Page& page) {
    if (!page.running())
        return {};
    switch (current) {
    case PageId::Diagnosis:
        return "检测进行中，不能切换。";
    case PageId::ImgUpdate:
        return "镜像升级进行中，不能切换。";
    case PageId::Reset:
        return "恢复出厂进行中，不能切换。";
    default:
        return {};
    }
}

void CDlgMain::initialise() {
    if (initialised_)
        return;
    initialised_ = true;

    header_.load(skin::SkinPath(QString::fromUtf8(skin::kTop)));
    headerWidth_ = header_.isNull() ? kFallbackHeaderWidth : header_.width();
    QScreen* screen = QGuiApplication::primaryScreen();
    const int screenHeight = screen ? screen->geometry().height() : kMaxWindowHeight;
    setFixedSize(MainWindowSize(headerWidth_, screenHeight));

    const PageFactory make = pageFactory_ ? pageFactory_ : PageFactory(CreatePage);
    for (PageId id : kAllPages) {
        Page* p = make(id, this);
        p->setParent(this);
        p->hide();
        pages_[PageIndex(id)] = p;
        if (id == PageId::Diagnosis) {
            p->setSettings(version_, loginUrl_, reportUrl_);
            connect(p, &Page::modelConfirmed, this, &CDlgMain::onModelConfirmed);
        }
    }

    int x = 0;
    for (PageId id : kAllPages) {
        auto* button = new CPngButton(this);
        button->SetPngFile(skin::SkinPath(Q(NavigationImage(id))));
        button->move(x, kNavButtonTop);
        x += button->width();
        connect(button, &QAbstractButton::clicked, this, [this, id] { selectPage(id); });
        navButtons_[PageIndex(id)] = button;
    }
    navButton(PageId::Diagnosis)->SetSelected(true);

    closeButton_ = new CPngButton(this);
    closeButton_->SetPngFile(skin::SkinPath(QString::fromUtf8(skin::kClose)));
    closeButton_->setGeometry(CloseButtonRect(width()));
    connect(closeButton_, &QAbstractButton::clicked, this, &CDlgMain::requestClose);
    minimiseButton_ = new CPngButton(this);
    minimiseButton_->SetPngFile(skin::SkinPath(QString::fromUtf8(skin::kMinimise)));
    minimiseButton_->setGeometry(MinimiseButtonRect(width()));
    connect(minimiseButton_, &QAbstractButton::clicked, this, &QWidget::showMinimized);

    selectPage(PageId::Diagnosis);
    setWindowTitle(QString::fromUtf8(kWindowTitle));
    loggedIn_ = false;
    CentreOnScreen(this);
}

bool CDlgMain::runLogin() {
    initialise();
    if (!login_)
        login_ = new CDlgLogin(this, version_, loginUrl_);
    // Not QDialog::exec: the login dialog hides itself when the technician minimises it, and a hidden
    // dialog would end exec. The loop runs until the dialog has ended.
    QEventLoop loop;
    auto connection = connect(login_, &QDialog::finished, &loop, &QEventLoop::quit);
    login_->setWindowModality(Qt::ApplicationModal);
    login_->show();
    loop.exec();
    disconnect(connection);
    if (login_->result() != QDialog::Accepted)
        return false;
    loggedInAs(login_->userName());
    return true;
}

void CDlgMain::loggedInAs(const std::string& userName) {
    operatorName_ = userName;
    loggedIn_ = true;
    page(PageId::Diagnosis)->setOperatorName(operatorName_);
    // The log query names its exported sheet after the technician too.
    page(PageId::LogQuery)->setOperatorName(operatorName_);
    startUploadPass();
}

void CDlgMain::startUploadPass() {
    if (upload_ && upload_->running())
        return;
    if (!upload_) {
        if (uploadFactory_) {
            upload_ = uploadFactory_();
        } else {
            UploadConfig config = UploadConfig::FromSettings();
            config.reportUrl = reportUrl_;
            upload_ = std::make_unique<UploadPass>(JoinPath(ProgramDirectory(), "orvalog.db"), config);
        }
    }
    if (upload_)
        upload_->start();
}

int CDlgMain::run() {
    runLogin();
    // Shown until it is closed or rejected (Escape); then the tool ends.
    QEventLoop loop;
    connect(this, &QDialog::finished, &loop, &QEventLoop::quit);
    showNormal();
    raise();
    activateWindow();
    loop.exec();
    return result();
}

bool CDlgMain::selectPage(PageId id) {
    Page* shown = page(current_);
    if (pageSelected_ && shown) {
        const std::string refusal = SwitchRefusal(current_, *shown);
        if (!refusal.empty()) {
            UiPrompts::information(this, Q(refusal));
            return false;
        }
    }
    for (Page* p : pages_)
        p->hide();
    Page* next = page(id);
    next->setGeometry(PageRect(id, size(), headerWidth_, next->designSize()));
    next->show();
    navButton(current_)->SetSelected(false);
    navButton(id)->SetSelected(true);
    current_ = id;
    pageSelected_ = true;
    return true;
}

void CDlgMain::requestClose() {
    if (!UiPrompts::askYesNo(this, Q(Text(TextId::ExitConfirm)), Q(Text(TextId::ExitTitle))))
        return;
    // The pass ends at its next step; a request already out is abandoned with its row kept.
    if (upload_)
        upload_->requestStop();
    accept();
}

void CDlgMain::done(int result) {
    GuiNotifier::BeginShutdownOfInstalled();
    QDialog::done(result);
}

void CDlgMain::onModelConfirmed() {
    page(PageId::Diagnosis)->handleModelConfirmed();
    selectPage(PageId::Diagnosis);
}

void CDlgMain::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(QRect(0, kHeaderHeight, width(), height() - kHeaderHeight), QColor(240, 240, 240));
    if (!header_.isNull())
        p.drawPixmap(0, 0, header_);
    else
        p.fillRect(QRect(0, 0, width(), kHeaderHeight), QColor(30, 79, 138));
}

void CDlgMain::changeEvent(QEvent* event) {
    QDialog::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange || loggedIn_ || !login_)
        return;
    auto* change = static_cast<QWindowStateChangeEvent*>(event);
    if ((change->oldState() & Qt::WindowMinimized) && !(windowState() & Qt::WindowMinimized))
        QTimer::singleShot(0, this, &CDlgMain::restoreWhileLoggedOut);
}

void CDlgMain::restoreWhileLoggedOut() {
    if (loggedIn_ || !login_)
        return;
    CentreOnScreen(this);
    hide();
    login_->show();
    login_->raise();
    login_->activateWindow();
}

} // namespace orva

// The login dialog driven like a technician would: typing, pressing its buttons, answering its prompts,
// against the gateway simulator's login service on loopback (or none at all).
#include "../shell/GuiTestSupport.h"

#include "TestSubnets.h"
#include "gui/controls/CAnimatedPicture.h"
#include "gui/controls/CLabelEx.h"
#include "gui/controls/CPngButton.h"
#include "gui/controls/CProgressDlg.h"
#include "gui/controls/CSkinEdit.h"
#include "gui/web/CDlgLogin.h"
#include "core/web/LoginFile.h"

#include <QSignalSpy>

#include <memory>

namespace orva {
namespace {

using guitest::Q;

constexpr int kSubnet = orva::test::subnets::gui_login::kLogin;
const std::string kClosedLoginUrl = "http://127.0.0.1:9/login";

class LoginDialogTest : public ::testing::Test {
protected:
    // A fresh program directory and dialog; RunNet 1 so the login goes to `loginUrl`.
    void open(const std::string& loginUrl, const std::string& version = "11-2.2-33333333",
              std::map<std::string, std::string> extra = {}) {
        extra.emplace("RunNet", "1");
        extra.emplace("LoginURL", loginUrl);
        extra.emplace("Version", version);
        extra.emplace("HttpTimeout", "10");
        // The previous case's directory goes first: its end resets the process-wide settings.
        dialog_.reset();
        program_.reset();
        UiPrompts::clearShown();
        program_ = std::make_unique<guitest::ProgramFixture>(kSubnet, extra, "orva-gui-login");
        dialog_ = std::make_unique<CDlgLogin>(nullptr, version, loginUrl);
        dialog_->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog_.get()));
    }
    void type(const std::string& user, const std::string& password) {
        dialog_->userNameEdit()->setText(Q(user));
        dialog_->passwordEdit()->setText(Q(password));
    }
    // Presses the log-in button and waits until the answer has been handled.
    void logIn() {
        QSignalSpy handled(dialog_.get(), &CDlgLogin::loginAttemptHandled);
        dialog_->loginButton()->click();
        ASSERT_TRUE(handled.wait(30000));
        ASSERT_FALSE(dialog_->loginRunning());
    }
    bool accepted() const { return !dialog_->isVisible() && dialog_->result() == QDialog::Accepted; }
    std::string status() const { return dialog_->statusLabel()->text().toStdString(); }
    std::string loginFile() const { return program_->dir().file("res/login.xml"); }

    UiPromptsTestScope prompts_;
    guitest::ExitRecorder exits_;
    std::unique_ptr<guitest::ProgramFixture> program_;
    std::unique_ptr<CDlgLogin> dialog_;
};

TEST_F(LoginDialogTest, StartsPrefilledWithWhiteCaptionsAndHiddenStatus) {
    open(kClosedLoginUrl);
    EXPECT_EQ(dialog_->windowTitle().toStdString(), "Velmar终端诊断工具");
    EXPECT_EQ(dialog_->userName(), "vladmin");
    EXPECT_EQ(dialog_->passwordEdit()->text(), "1");
    EXPECT_EQ(dialog_->passwordEdit()->echoMode(), QLineEdit::Password);
    EXPECT_EQ(dialog_->userNameCaption()->text(), "用户名:");
    EXPECT_EQ(dialog_->passwordCaption()->text(), "密  码:");
    // At x 95 unless the font makes the caption too wide for the room left of the edit boxes.
    for (auto [caption, y] : {std::pair{dialog_->userNameCaption(), 160}, std::pair{dialog_->passwordCaption(), 210}}) {
        EXPECT_EQ(caption->y(), y);
        EXPECT_EQ(caption->x(), std::min(95, 148 - caption->width()));
        EXPECT_LE(caption->geometry().right(), 149);
    }
    for (CLabelEx* label : {dialog_->userNameCaption(), dialog_->passwordCaption(), dialog_->statusLabel()})
        EXPECT_EQ(label->TextColour(), QColor(255, 255, 255));
    EXPECT_EQ(dialog_->userNameEdit()->NoFocusScheme().background, QColor(0x1E, 0x4F, 0x8A));
    EXPECT_EQ(dialog_->userNameEdit()->geometry(), QRect(150, 150, 230, 30));
    EXPECT_EQ(dialog_->passwordEdit()->geometry(), QRect(150, 205, 230, 30));
    EXPECT_EQ(dialog_->loginButton()->pos(), QPoint(150, 280));
    EXPECT_EQ(dialog_->cancelButton()->pos(), QPoint(270, 280));
    EXPECT_EQ(dialog_->closeButton()->pos(), QPoint(dialog_->width() - 32, 16));
    EXPECT_FALSE(dialog_->statusLabel()->isVisible());
    EXPECT_FALSE(dialog_->busyPicture()->isVisible());
    EXPECT_FALSE(dialog_->progressDialog()->isVisible());
}

TEST_F(LoginDialogTest, EnglishCaptions) {
    open(kClosedLoginUrl, "11-2.2-33333333", {{"Language", "English"}});
    EXPECT_EQ(dialog_->userNameCaption()->text(), "UserName:");
    EXPECT_EQ(dialog_->passwordCaption()->text(), "Password:");
    // Longer captions still end before the edit boxes.
    for (CLabelEx* caption : {dialog_->userNameCaption(), dialog_->passwordCaption()})
        EXPECT_LE(caption->geometry().right(), 149);
    // The title stays the tool's name in both languages.
    EXPECT_EQ(dialog_->windowTitle().toStdString(), "Velmar终端诊断工具");
}

TEST_F(LoginDialogTest, EmptyFieldsAreRefusedWithTheirMessage) {
    struct Case {
        const char* user;
        const char* password;
        TextId message;
        bool focusOnUser;
    };
    for (const Case& c : {Case{"", "1", TextId::UserNameEmpty, true}, Case{"", "", TextId::UserNameEmpty, true},
                          Case{"vladmin", "", TextId::PasswordEmpty, false}}) {
        SCOPED_TRACE(c.user + std::string("/") + c.password);
        open(kClosedLoginUrl);
        QApplication::setActiveWindow(dialog_.get());
        type(c.user, c.password);
        UiPrompts::clearShown();
        dialog_->loginButton()->click();
        EXPECT_EQ(UiPrompts::shownTexts(), QStringList{Q(Text(c.message))});
        EXPECT_FALSE(dialog_->loginRunning());
        EXPECT_TRUE(dialog_->loginButton()->isEnabled());
        EXPECT_FALSE(dialog_->statusLabel()->isVisible());
        QWidget* focused = c.focusOnUser ? static_cast<QWidget*>(dialog_->userNameEdit()) : dialog_->passwordEdit();
        EXPECT_TRUE(focused->hasFocus() || QApplication::focusWidget() == focused);
    }
}

TEST_F(LoginDialogTest, OnlineAnswersFromTheLoginService) {
    struct Case {
        const char* name;
        std::string password;
        bool loggedIn;
        std::string status; // "" : the dialog ended before showing an outcome
    };
    guitest::SimulatorServices sim({"--user", "vladmin:secret"});
    for (const Case& c :
         {Case{"accepted", "secret", true, ""}, Case{"rejected", "wrong", false, ChineseText(TextId::LoginFailed)}}) {
        SCOPED_TRACE(c.name);
        open(sim.loginUrl());
        type("vladmin", c.password);
        logIn();
        EXPECT_EQ(accepted(), c.loggedIn);
        EXPECT_TRUE(dialog_->loginButton()->isEnabled());
        EXPECT_FALSE(dialog_->busyPicture()->isVisible());
        if (!c.status.empty()) {
            EXPECT_EQ(status(), c.status);
        }
        // Only an online success remembers the credentials for offline use.
        EXPECT_EQ(CheckOfflineCredentials(loginFile(), "vladmin", c.password) == OfflineCheck::Match, c.loggedIn);
        EXPECT_TRUE(UiPrompts::shownTexts().isEmpty());
        EXPECT_TRUE(exits_.codes().empty());
        EXPECT_NE(test::readFile(program_->dir().file("orva.log")).find("[LOGIN]"), std::string::npos);
    }
}

TEST_F(LoginDialogTest, WhileLoggingInTheButtonWaitsAndTheBusyPictureRuns) {
    guitest::SimulatorServices sim({"--user", "vladmin:secret"});
    open(sim.loginUrl());
    type("vladmin", "secret");
    QSignalSpy handled(dialog_.get(), &CDlgLogin::loginAttemptHandled);
    dialog_->loginButton()->click();
    // Straight after the press, before the answer can have been handled.
    EXPECT_FALSE(dialog_->loginButton()->isEnabled());
    EXPECT_TRUE(dialog_->statusLabel()->isVisible());
    EXPECT_EQ(status(), kLoggingInText);
    EXPECT_TRUE(dialog_->busyPicture()->isVisible());
    ASSERT_TRUE(handled.wait(30000));
    EXPECT_TRUE(accepted());
}

TEST_F(LoginDialogTest, NoAnswerChecksTheOfflineList) {
    struct Case {
        const char* name;
        bool listExists;
        std::string password;
        bool loggedIn;
        std::string status;
    };
    const std::vector<Case> cases = {
        {"matching digest", true, "secret", true, ChineseText(TextId::OfflineLoginOk)},
        {"other password", true, "wrong", false, ChineseText(TextId::OfflineLoginFailed)},
        {"no list", false, "secret", false, kOfflineFallbackText},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        open(kClosedLoginUrl);
        if (c.listExists) {
            ASSERT_TRUE(RememberCredentials(loginFile(), "vladmin", "secret"));
        }
        type("vladmin", c.password);
        logIn();
        EXPECT_EQ(accepted(), c.loggedIn);
        EXPECT_EQ(status(), c.status);
        EXPECT_TRUE(UiPrompts::shownTexts().isEmpty());
    }
}

TEST_F(LoginDialogTest, AcceptedUpdateIsSavedThroughTheProgressWindow) {
    guitest::SimulatorServices sim({"--user", "vladmin:secret", "--update-version", "99"});
    open(sim.loginUrl(), "10");
    const QString target = Q(program_->dir().file("downloaded-setup.exe"));
    UiPrompts::queueAnswer(true);
    UiPrompts::queueFileName(target);
    bool progressShownAtEnd = true;
    UiPrompts::setObserver([&](const UiPrompts::Shown& shown) {
        if (shown.text == Q(Text(TextId::UpdateDownloadOk)))
            progressShownAtEnd = dialog_->progressDialog()->isVisible();
    });
    type("vladmin", "secret");
    logIn();
    UiPrompts::setObserver({});

    const auto shown = UiPrompts::shown();
    ASSERT_EQ(shown.size(), 3u);
    EXPECT_EQ(shown[0].kind, UiPrompts::Kind::OkCancel);
    EXPECT_EQ(shown[0].text, Q(Text(TextId::AskDownloadNewVersion)));
    EXPECT_EQ(shown[1].kind, UiPrompts::Kind::SaveFile);
    EXPECT_EQ(shown[1].caption, "setup.exe");
    EXPECT_TRUE(shown[1].filter.contains("*.exe"));
    EXPECT_EQ(shown[2].text, Q(Text(TextId::UpdateDownloadOk)));
    EXPECT_FALSE(progressShownAtEnd);
    EXPECT_GT(std::filesystem::file_size(target.toStdString()), 0u);
    EXPECT_EQ(dialog_->progressDialog()->Text(), kDownloadingText);
    // The new version is installed by hand: this copy ends.
    EXPECT_EQ(exits_.codes(), std::vector<int>{CDlgLogin::kExitCode});
}

TEST_F(LoginDialogTest, DeclinedUpdateOrFailedDownloadStillLogsIn) {
    struct Case {
        const char* name;
        std::vector<bool> answers; // update question, then each retry question
        bool chooseFile;
        bool serviceGoneBeforeDownload;
        int retryQuestions;
    };
    const std::vector<Case> cases = {
        {"question declined", {false}, false, false, 0},
        {"save dialog cancelled", {true}, false, false, 0},
        {"download fails, retried once, then given up", {true, true, false}, true, true, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        guitest::SimulatorServices sim({"--user", "vladmin:secret", "--update-version", "99"});
        open(sim.loginUrl(), "10");
        const QString target = Q(program_->dir().file("setup.exe"));
        for (bool a : c.answers)
            UiPrompts::queueAnswer(a);
        if (c.chooseFile)
            UiPrompts::queueFileName(target);
        if (c.serviceGoneBeforeDownload)
            UiPrompts::setObserver([&](const UiPrompts::Shown& shown) {
                if (shown.kind == UiPrompts::Kind::SaveFile)
                    sim.stop();
            });
        type("vladmin", "secret");
        logIn();
        UiPrompts::setObserver({});
        EXPECT_TRUE(accepted());
        EXPECT_FALSE(std::filesystem::exists(target.toStdString()));
        EXPECT_EQ(UiPrompts::shownTexts().count(Q(Text(TextId::UpdateDownloadFailed))), c.retryQuestions);
        EXPECT_FALSE(dialog_->progressDialog()->isVisible());
        EXPECT_TRUE(exits_.codes().empty());
    }
}

TEST_F(LoginDialogTest, CancelAndCloseEndTheProcess) {
    for (bool useClose : {false, true}) {
        SCOPED_TRACE(useClose ? "close" : "cancel");
        open(kClosedLoginUrl);
        const size_t before = exits_.codes().size();
        (useClose ? dialog_->closeButton() : dialog_->cancelButton())->click();
        ASSERT_EQ(exits_.codes().size(), before + 1);
        EXPECT_EQ(exits_.codes().back(), 255);
        EXPECT_EQ(dialog_->result(), QDialog::Rejected);
        EXPECT_TRUE(UiPrompts::shownTexts().isEmpty());
    }
}

TEST_F(LoginDialogTest, MinimiseHidesItBehindTheMinimisedMainWindow) {
    open(kClosedLoginUrl);
    QWidget main;
    main.show();
    auto* login = new CDlgLogin(&main, "1", kClosedLoginUrl); // owned by main
    login->show();
    login->minimiseButton()->click();
    EXPECT_FALSE(login->isVisible());
    EXPECT_TRUE(guitest::WaitUntil([&] { return main.isMinimized(); }));
    EXPECT_TRUE(exits_.codes().empty());
}

} // namespace
} // namespace orva

// The main window with stand-in pages: its geometry, the page switching with its refusals, the login
// at start, the upload pass and the exit confirmation.
#include "GuiTestSupport.h"

#include "TestSubnets.h"
#include "gui/controls/CPngButton.h"
#include "core/records/UploadPass.h"
#include "gui/shell/CDlgMain.h"
#include "gui/shell/MainLayout.h"
#include "gui/web/CDlgLogin.h"

#include <QScreen>
#include <QSignalSpy>
#include <QTimer>

#include <array>
#include <condition_variable>
#include <memory>

namespace orva {
namespace {

using guitest::Q;

constexpr int kMainWindowSubnet = orva::test::subnets::gui_shell::kMainWindow;
constexpr int kTopWidth = 917;
const QSize kPageSize(600, 400);

TEST(MainLayout, WindowIsTheHeaderWideAndAtMost756High) {
    struct Case {
        int screenHeight, expectedHeight;
    };
    for (const Case& c : {Case{1080, 756}, Case{720, 720}, Case{756, 756}, Case{757, 756}}) {
        SCOPED_TRACE(c.screenHeight);
        EXPECT_EQ(MainWindowSize(1000, c.screenHeight), QSize(1000, c.expectedHeight));
    }
}

TEST(MainLayout, PagesSitBelowTheHeaderByTheirDesignSize) {
    struct Case {
        PageId id;
        QSize client, page;
        QRect expected;
    };
    const std::vector<Case> cases = {
        {PageId::Diagnosis, {1000, 700}, {600, 400}, QRect(70, 120, 910, 560)},
        {PageId::Reset, {1000, 700}, {600, 400}, QRect(200, 210, 780, 470)},
        {PageId::ImgUpdate, {1000, 700}, {600, 400}, QRect(220, 210, 760, 470)},
        {PageId::Template, {1000, 700}, {600, 400}, QRect(220, 210, 760, 470)},
        {PageId::LogQuery, {1000, 700}, {600, 400}, QRect(220, 210, 760, 470)},
        {PageId::About, {1000, 700}, {600, 400}, QRect(220, 210, 760, 470)},
        // Integer division of odd remainders.
        {PageId::Reset, {1001, 701}, {600, 401}, QRect(200, 210, 781, 471)},
        // A page larger than the area still follows the formulas.
        {PageId::Reset, {800, 600}, {900, 700}, QRect(-50, 10, 830, 570)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(PageIndex(c.id));
        EXPECT_EQ(PageRect(c.id, c.client, 1000, c.page), c.expected);
    }
    EXPECT_EQ(CloseButtonRect(1000), QRect(968, 11, 16, 16));
    EXPECT_EQ(MinimiseButtonRect(1000), QRect(944, 16, 16, 16));
}

// A stand-in page that records what the main window hands it.
class RecordingPage : public guitest::StandInPage {
public:
    explicit RecordingPage(QWidget* parent) : guitest::StandInPage(parent) { setDesignSize(kPageSize); }
    void setSettings(const std::string& v, const std::string& l, const std::string& r) override {
        settings = {v, l, r};
    }
    void setOperatorName(const std::string& name) override { operatorName = name; }
    void handleModelConfirmed() override { ++modelConfirmations; }
    void confirmModel() { emit modelConfirmed(); }

    std::array<std::string, 3> settings;
    std::string operatorName;
    int modelConfirmations = 0;
};

// An upload pass that runs until it is asked to stop.
struct BlockingUpload {
    std::atomic<int> passes{0};
    std::atomic<bool> stopped{false};

    std::unique_ptr<UploadPass> make() {
        return std::make_unique<UploadPass>([this](std::stop_token stop) {
            ++passes;
            std::mutex m;
            std::condition_variable_any cv;
            std::unique_lock lock(m);
            cv.wait(lock, stop, [] { return false; });
            stopped = true;
            UploadPassResult r;
            r.stopped = true;
            return r;
        });
    }
};

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        program_ = std::make_unique<guitest::ProgramFixture>(
            kMainWindowSubnet, std::map<std::string, std::string>{{"Version", "11-2.2-33333333"}}, "orva-gui-main");
        guitest::WritePicture(program_->skinFile("top.png"), kTopWidth, 120, QColor(30, 79, 138));
        for (int i = 0; i < 6; ++i)
            guitest::WritePicture(program_->skinFile(CDlgMain::NavigationImage(kAllPages[i])), 5 * (80 + i), 70,
                                  QColor(200, 200, 200));
        main_ = std::make_unique<CDlgMain>("11-2.2-33333333", "http://127.0.0.1:9/login", "http://127.0.0.1:9/report");
        main_->setPageFactory([this](PageId id, QWidget* parent) {
            auto* p = new RecordingPage(parent);
            pages_[PageIndex(id)] = p;
            return p;
        });
        main_->setUploadFactory([this] { return upload_.make(); });
        main_->initialise();
        main_->show();
    }
    void TearDown() override {
        main_.reset();
        program_.reset();
    }

    RecordingPage* page(PageId id) const { return pages_[PageIndex(id)]; }
    std::vector<PageId> visiblePages() const {
        std::vector<PageId> out;
        for (PageId id : kAllPages)
            if (!page(id)->isHidden())
                out.push_back(id);
        return out;
    }
    // Runs the login; the dialog is filled in and confirmed from inside its loop.
    bool logIn() {
        QTimer::singleShot(0, [this] {
            ASSERT_TRUE(
                guitest::WaitUntil([this] { return main_->loginDialog() && main_->loginDialog()->isVisible(); }));
            main_->loginDialog()->loginButton()->click();
        });
        return main_->runLogin();
    }

    UiPromptsTestScope prompts_;
    guitest::ExitRecorder exits_;
    std::unique_ptr<guitest::ProgramFixture> program_;
    BlockingUpload upload_;
    std::array<RecordingPage*, 6> pages_{};
    std::unique_ptr<CDlgMain> main_;
};

TEST_F(MainWindowTest, SizeButtonsAndTheFirstPage) {
    const int screenHeight = QGuiApplication::primaryScreen()->geometry().height();
    EXPECT_EQ(main_->size(), QSize(kTopWidth, std::min(screenHeight, 756)));
    EXPECT_TRUE(main_->windowFlags() & Qt::FramelessWindowHint);
    EXPECT_EQ(main_->windowTitle().toStdString(), "Velmar终端诊断工具");
    int x = 0;
    for (int i = 0; i < 6; ++i) {
        SCOPED_TRACE(i);
        CPngButton* b = main_->navButton(kAllPages[i]);
        EXPECT_EQ(b->geometry(), QRect(x, 30, 80 + i, 70));
        x += 80 + i;
    }
    EXPECT_EQ(main_->closeButton()->geometry(), CloseButtonRect(kTopWidth));
    EXPECT_EQ(main_->minimiseButton()->geometry(), MinimiseButtonRect(kTopWidth));
    EXPECT_EQ(main_->currentPage(), PageId::Diagnosis);
    EXPECT_EQ(visiblePages(), std::vector<PageId>{PageId::Diagnosis});
    EXPECT_TRUE(main_->navButton(PageId::Diagnosis)->IsSelected());
    // The diagnosis page got the three settings right after it was made.
    EXPECT_EQ(page(PageId::Diagnosis)->settings,
              (std::array<std::string, 3>{"11-2.2-33333333", "http://127.0.0.1:9/login", "http://127.0.0.1:9/report"}));
    EXPECT_FALSE(main_->loggedIn());
    EXPECT_EQ(main_->uploadPass(), nullptr);
}

TEST_F(MainWindowTest, NavigationShowsOnePageAtItsPlace) {
    for (PageId id : {PageId::Reset, PageId::ImgUpdate, PageId::Template, PageId::LogQuery, PageId::About,
                      PageId::Diagnosis, PageId::Diagnosis}) {
        SCOPED_TRACE(PageIndex(id));
        main_->navButton(id)->click();
        EXPECT_EQ(main_->currentPage(), id);
        EXPECT_EQ(visiblePages(), std::vector<PageId>{id});
        EXPECT_EQ(page(id)->geometry(), PageRect(id, main_->size(), kTopWidth, kPageSize));
        for (PageId other : kAllPages)
            EXPECT_EQ(main_->navButton(other)->IsSelected(), other == id);
    }
    EXPECT_TRUE(UiPrompts::shownTexts().isEmpty());
}

TEST_F(MainWindowTest, ARunningOperationKeepsItsPage) {
    struct Case {
        PageId busy;
        std::string refusal; // "" : that page's flag does not hold the window
    };
    const std::vector<Case> cases = {
        {PageId::Diagnosis, "检测进行中，不能切换。"},
        {PageId::Reset, "恢复出厂进行中，不能切换。"},
        {PageId::ImgUpdate, "镜像升级进行中，不能切换。"},
        {PageId::Template, ""},
        {PageId::LogQuery, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(PageIndex(c.busy));
        ASSERT_TRUE(main_->selectPage(c.busy));
        page(c.busy)->setRunning(true);
        UiPrompts::clearShown();
        // Another page's button and the page's own button alike.
        main_->navButton(PageId::About)->click();
        if (c.refusal.empty()) {
            EXPECT_EQ(main_->currentPage(), PageId::About);
            page(c.busy)->setRunning(false);
            continue;
        }
        main_->navButton(c.busy)->click();
        EXPECT_EQ(UiPrompts::shownTexts(), (QStringList{Q(c.refusal), Q(c.refusal)}));
        EXPECT_EQ(main_->currentPage(), c.busy);
        EXPECT_EQ(visiblePages(), std::vector<PageId>{c.busy});
        EXPECT_TRUE(main_->navButton(c.busy)->IsSelected());
        EXPECT_FALSE(main_->navButton(PageId::About)->IsSelected());

        page(c.busy)->setRunning(false);
        main_->navButton(PageId::About)->click();
        EXPECT_EQ(main_->currentPage(), PageId::About);
        EXPECT_EQ(UiPrompts::shownTexts().size(), 2);
    }
}

TEST_F(MainWindowTest, LoginHandsTheOperatorOnAndStartsTheUploadPass) {
    ASSERT_TRUE(logIn());
    EXPECT_TRUE(main_->loggedIn());
    EXPECT_EQ(main_->operatorName(), "vladmin");
    EXPECT_EQ(page(PageId::Diagnosis)->operatorName, "vladmin");
    ASSERT_NE(main_->uploadPass(), nullptr);
    EXPECT_TRUE(guitest::WaitUntil([this] { return upload_.passes.load() == 1; }));
    EXPECT_TRUE(main_->uploadPass()->running());
    EXPECT_TRUE(exits_.codes().empty());
}

TEST_F(MainWindowTest, ClosingAsksFirst) {
    ASSERT_TRUE(logIn());
    ASSERT_TRUE(guitest::WaitUntil([this] { return upload_.passes.load() == 1; }));
    QSignalSpy finished(main_.get(), &QDialog::finished);

    UiPrompts::queueAnswer(false);
    main_->closeButton()->click();
    ASSERT_EQ(UiPrompts::shown().size(), 1u);
    EXPECT_EQ(UiPrompts::shown()[0].kind, UiPrompts::Kind::YesNo);
    EXPECT_EQ(UiPrompts::shown()[0].text, Q(Text(TextId::ExitConfirm)));
    EXPECT_EQ(UiPrompts::shown()[0].caption, Q(Text(TextId::ExitTitle)));
    EXPECT_EQ(finished.count(), 0);
    EXPECT_TRUE(main_->isVisible());
    EXPECT_TRUE(main_->uploadPass()->running());

    UiPrompts::queueAnswer(true);
    main_->closeButton()->click();
    EXPECT_EQ(finished.count(), 1);
    EXPECT_FALSE(main_->isVisible());
    EXPECT_TRUE(guitest::WaitUntil([this] { return !main_->uploadPass()->running(); }));
    EXPECT_TRUE(upload_.stopped.load());
}

TEST_F(MainWindowTest, RestoringWhileLoggedOutBringsTheLoginBack) {
    bool minimisedBehind = false;
    bool loginBack = false;
    QTimer::singleShot(0, [&] {
        ASSERT_TRUE(guitest::WaitUntil([this] { return main_->loginDialog() && main_->loginDialog()->isVisible(); }));
        CDlgLogin* login = main_->loginDialog();
        login->minimiseButton()->click();
        minimisedBehind = main_->isMinimized() && !login->isVisible();
        main_->showNormal();
        loginBack = guitest::WaitUntil([&] { return login->isVisible() && !main_->isVisible(); });
        login->loginButton()->click();
    });
    ASSERT_TRUE(main_->runLogin());
    EXPECT_TRUE(minimisedBehind);
    EXPECT_TRUE(loginBack);
    // Once logged in, restoring is an ordinary restore.
    main_->showMinimized();
    main_->showNormal();
    QApplication::processEvents();
    EXPECT_FALSE(main_->loginDialog()->isVisible());
    EXPECT_TRUE(main_->isVisible());
}

TEST_F(MainWindowTest, ModelConfirmationShowsTheDiagnosisPage) {
    main_->selectPage(PageId::LogQuery);
    page(PageId::Diagnosis)->confirmModel();
    EXPECT_EQ(page(PageId::Diagnosis)->modelConfirmations, 1);
    EXPECT_EQ(main_->currentPage(), PageId::Diagnosis);
}

TEST_F(MainWindowTest, APressAnywhereDragsTheWindow) {
    main_->move(40, 30);
    const QPoint start = main_->pos();
    QTest::mousePress(main_.get(), Qt::LeftButton, {}, QPoint(400, 300));
    QTest::mouseMove(main_.get(), QPoint(450, 320));
    QTest::mouseRelease(main_.get(), Qt::LeftButton, {}, QPoint(450, 320));
    EXPECT_EQ(main_->pos(), start + QPoint(50, 20));
}

} // namespace
} // namespace orva

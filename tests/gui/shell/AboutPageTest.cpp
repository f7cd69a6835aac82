// The about page: its picture, and its OK button, which ends the page in the main window as a dialog's
// OK ends a dialog, until the page's navigation button brings it back.
#include "GuiTestSupport.h"
#include "TestSubnets.h"

#include "gui/controls/CPngButton.h"
#include "gui/controls/SkinFiles.h"
#include "gui/shell/CAboutDlg.h"
#include "gui/shell/CDlgMain.h"

#include <QPushButton>
#include <QSignalSpy>

#include <memory>

namespace orva {
namespace {

constexpr int kAboutSubnet = orva::test::subnets::gui_shell::kAbout;
const QSize kPicture(420, 260);

struct AboutCase {
    const char* language;
    const char* okCaption;
};

class AboutPage : public ::testing::TestWithParam<AboutCase> {
protected:
    void SetUp() override {
        program_ = std::make_unique<guitest::ProgramFixture>(
            kAboutSubnet, std::map<std::string, std::string>{{"Language", GetParam().language}}, "orva-gui-about");
        guitest::WritePicture(program_->skinFile(skin::kAboutBackground), kPicture.width(), kPicture.height(),
                              QColor(250, 250, 250));
    }
    void TearDown() override { program_.reset(); }

    UiPromptsTestScope prompts_;
    std::unique_ptr<guitest::ProgramFixture> program_;
};

TEST_P(AboutPage, OkEndsThePageWithinItsPicture) {
    CAboutDlg page;
    page.show();
    EXPECT_EQ(page.size(), kPicture);
    EXPECT_EQ(page.designSize(), kPicture);
    QPushButton* ok = page.okButton();
    ASSERT_NE(ok, nullptr);
    EXPECT_EQ(ok->text().toStdString(), GetParam().okCaption);
    EXPECT_TRUE(ok->isVisible());
    EXPECT_TRUE(QRect(QPoint(0, 0), kPicture).contains(ok->geometry())) << ok->geometry().x();

    QSignalSpy accepted(&page, &CAboutDlg::accepted);
    QTest::mouseClick(ok, Qt::LeftButton);
    EXPECT_TRUE(page.isHidden());
    EXPECT_EQ(accepted.count(), 1);

    // Return is the default button's, as in a dialog; Escape stays with the page and ends nothing.
    page.show();
    QTest::keyClick(&page, Qt::Key_Escape);
    EXPECT_TRUE(page.isVisible());
    QTest::keyClick(&page, Qt::Key_Return);
    EXPECT_TRUE(page.isHidden());
    EXPECT_EQ(accepted.count(), 2);
    EXPECT_TRUE(UiPrompts::shown().empty());
}

TEST_P(AboutPage, InTheMainWindowItsButtonBringsItBackAfterOk) {
    CDlgMain main("11-2.2-33333333", "http://127.0.0.1:9/login", "http://127.0.0.1:9/report");
    CAboutDlg* about = nullptr;
    main.setPageFactory([&](PageId id, QWidget* parent) -> Page* {
        if (id == PageId::About)
            return about = new CAboutDlg(parent);
        return new guitest::StandInPage(parent);
    });
    main.initialise();
    main.show();
    ASSERT_NE(about, nullptr);

    main.navButton(PageId::About)->click();
    ASSERT_TRUE(about->isVisible());
    // The button sits inside the part of the page the window shows.
    EXPECT_TRUE(QRect(QPoint(0, 0), main.size()).contains(about->mapTo(&main, about->okButton()->geometry().center())));
    QTest::mouseClick(about->okButton(), Qt::LeftButton);
    EXPECT_TRUE(about->isHidden());
    EXPECT_TRUE(main.isVisible());

    main.navButton(PageId::About)->click();
    EXPECT_TRUE(about->isVisible());
    main.navButton(PageId::Reset)->click();
    EXPECT_TRUE(about->isHidden());
    main.navButton(PageId::About)->click();
    EXPECT_TRUE(about->isVisible());
    EXPECT_TRUE(UiPrompts::shown().empty());
}

INSTANTIATE_TEST_SUITE_P(Languages, AboutPage,
                         ::testing::Values(AboutCase{"Chinese", "确定"}, AboutCase{"English", "OK"}),
                         [](const auto& info) { return std::string(info.param.language); });

} // namespace
} // namespace orva

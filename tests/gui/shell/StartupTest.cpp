// The start-up of the program: the instance guard, the missing settings file, Qt's own texts in the
// selected language, and one whole start from the login to the confirmed exit.
#include "GuiTestSupport.h"

#include "TestSubnets.h"
#include "core/app/InstanceGuard.h"
#include "gui/controls/CPngButton.h"
#include "gui/shell/CDlgMain.h"
#include "gui/shell/QtTranslations.h"
#include "gui/shell/Startup.h"
#include "gui/web/CDlgLogin.h"

#include <QAbstractButton>
#include <QMessageBox>

namespace orva {
namespace {

using guitest::Q;

constexpr int kStartupSubnet = orva::test::subnets::gui_shell::kStartup;

class StartupTest : public ::testing::Test {
protected:
    UiPromptsTestScope prompts_;
    guitest::ExitRecorder exits_;
};

TEST_F(StartupTest, MissingSettingsFileEndsWithExitCodeZero) {
    test::TempProgramDir dir("orva-gui-start");
    SetProgramDirectory(dir.path());
    EXPECT_EQ(RunShell(), 0);
    EXPECT_EQ(UiPrompts::shownTexts(), QStringList{"setting.ini is missing!"});
    EXPECT_EQ(exits_.codes(), std::vector<int>{0});
    EXPECT_EQ(guitest::FindTopLevel<CDlgMain>(false), nullptr);
    SetProgramDirectory("");
}

TEST_F(StartupTest, SecondCopyInTheSameDirectoryEndsSilently) {
    test::TempProgramDir dir("orva-gui-start");
    dir.writeSettings(kStartupSubnet);
    InstanceGuard first(dir.path());
    ASSERT_TRUE(first.acquired());

    std::string program = "orva", option = "--dir", path = dir.path();
    char* argv[] = {program.data(), option.data(), path.data(), nullptr};
    EXPECT_EQ(OrvaMain(3, argv), 0);
    EXPECT_TRUE(UiPrompts::shown().empty());
    EXPECT_TRUE(exits_.codes().empty());
    EXPECT_EQ(guitest::FindTopLevel<CDlgMain>(false), nullptr);
    EXPECT_EQ(guitest::FindTopLevel<CDlgLogin>(false), nullptr);
    SetProgramDirectory("");
}

TEST_F(StartupTest, ChineseSelectsQtsChineseButtons) {
    guitest::ProgramFixture program(kStartupSubnet, {{"Language", "Chinese"}}, "orva-gui-start");
    ASSERT_TRUE(InstallQtTranslations());
    QMessageBox box;
    box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel | QMessageBox::Yes | QMessageBox::No);
    EXPECT_EQ(box.button(QMessageBox::Ok)->text(), "确定");
    EXPECT_EQ(box.button(QMessageBox::Cancel)->text(), "取消");
    EXPECT_TRUE(box.button(QMessageBox::Yes)->text().startsWith("是"))
        << box.button(QMessageBox::Yes)->text().toStdString();
    EXPECT_TRUE(box.button(QMessageBox::No)->text().startsWith("否"))
        << box.button(QMessageBox::No)->text().toStdString();
}

TEST_F(StartupTest, WholeRunFromLoginToConfirmedExit) {
    guitest::ProgramFixture program(kStartupSubnet, {{"Version", "11-2.2-33333333"}}, "orva-gui-start");
    bool sawMain = false;
    bool timedOut = false;
    std::string operatorName;
    auto giveUp = [&] {
        timedOut = true;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* d = qobject_cast<QDialog*>(w))
                d->QDialog::done(QDialog::Rejected);
    };
    guitest::WhenTrue([] { return guitest::FindTopLevel<CDlgLogin>() != nullptr; },
                      [] { guitest::FindTopLevel<CDlgLogin>()->loginButton()->click(); }, giveUp);
    guitest::WhenTrue([] { return guitest::FindTopLevel<CDlgMain>() != nullptr; },
                      [&] {
                          CDlgMain* main = guitest::FindTopLevel<CDlgMain>();
                          sawMain = true;
                          operatorName = main->operatorName();
                          UiPrompts::queueAnswer(true);
                          main->closeButton()->click();
                      },
                      giveUp);
    EXPECT_EQ(RunShell(), 0);
    EXPECT_FALSE(timedOut);
    EXPECT_TRUE(sawMain);
    EXPECT_EQ(operatorName, "vladmin");
    EXPECT_EQ(UiPrompts::shownTexts(), QStringList{Q(Text(TextId::ExitConfirm))});
    EXPECT_TRUE(exits_.codes().empty());
    EXPECT_NE(test::readFile(program.dir().file("orva.log")).find("[LOGIN]"), std::string::npos);
}

} // namespace
} // namespace orva

// The configuration page driven like a technician would: choosing a model, moving items between the
// two lists by button and by double-click, saving into res/device.ini, setting the reply time-out.
#include "../shell/GuiTestSupport.h"

#include "gui/controls/CBitComboBox.h"
#include "gui/controls/CPngButton.h"
#include "gui/controls/SkinFiles.h"
#include "gui/diagnosis/CDlgJudge.h"
#include "gui/diagnosis/CDlgTemplate.h"
#include "gui/diagnosis/CPage1Dlg.h"
#include "gui/diagnosis/CorvaDlg.h"
#include "core/protocol/CommandChannel.h"

#include "sim/GatewaySimulator.h"
#include "TestSubnets.h"

#include <QAbstractItemView>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>

#include <memory>
#include <sstream>

namespace orva {
namespace {

using guitest::Q;

// No packets are sent here; the subnet only keeps the settings file apart from other suites.
constexpr int kSubnet = orva::test::subnets::gui_template::kTemplate;

std::string SourceDeviceIni() {
    const char* source = std::getenv("ORVA_SOURCE_DIR");
    return test::readFile(std::string(source ? source : ORVA_TEST_SOURCE_TREE) + "/res/device.ini");
}

QStringList Entries(const QListWidget* list) {
    QStringList entries;
    for (int i = 0; i < list->count(); ++i)
        entries.push_back(list->item(i)->text());
    return entries;
}

std::vector<std::string> LinesWithout(const std::string& text, const std::string& keyPrefix) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (line.rfind(keyPrefix, 0) != 0)
            lines.push_back(line);
    }
    return lines;
}

class TemplatePageTest : public ::testing::Test {
protected:
    void SetUp() override {
        savedTimeout_ = CommandChannel::Instance().ReplyTimeout();
        fixture_ = std::make_unique<guitest::ProgramFixture>(kSubnet, std::map<std::string, std::string>{}, "gtmpl");
        writeDeviceIni(SourceDeviceIni());
        // Buttons need their pictures to have a size; the rendered skin may not be in this build.
        for (const char* name : {skin::kConfigOk, skin::kConfigAdd, skin::kConfigRemove}) {
            const std::string path = fixture_->skinFile(name);
            if (!test::fileExists(path))
                guitest::WritePicture(path, 5 * 60, 24, Qt::gray);
        }
    }
    void TearDown() override {
        page_.reset();
        fixture_.reset();
        CommandChannel::Instance().SetReplyTimeout(savedTimeout_);
    }

    void writeDeviceIni(const std::string& text) { test::writeFile(iniPath(), text); }
    std::string iniPath() const { return fixture_->dir().file("res/device.ini"); }

    CDlgTemplate& open() {
        page_ = std::make_unique<CDlgTemplate>();
        page_->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(page_.get()));
        return *page_;
    }

    // Picks the model at `index` from the drop-down list as the technician does.
    void choose(int index) {
        CBitComboBox* combo = page_->ModelCombo();
        combo->setFocus();
        combo->showPopup();
        QAbstractItemView* view = combo->view();
        ASSERT_TRUE(guitest::WaitUntil([view] { return view->isVisible(); }));
        const QRect rect = view->visualRect(view->model()->index(index, 0));
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, rect.center());
        ASSERT_TRUE(guitest::WaitUntil([view] { return !view->isVisible(); }));
    }
    void select(QListWidget* list, const QString& entry) {
        const auto found = list->findItems(entry, Qt::MatchExactly);
        ASSERT_EQ(found.size(), 1) << entry.toStdString();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(found[0]).center());
        ASSERT_TRUE(found[0]->isSelected());
    }
    void doubleClick(QListWidget* list, const QString& entry) {
        const auto found = list->findItems(entry, Qt::MatchExactly);
        ASSERT_EQ(found.size(), 1) << entry.toStdString();
        const QPoint at = list->visualItemRect(found[0]).center();
        // A real double-click is a press on the item followed by the double-click event; the view reports
        // it only for the item the press went to.
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
    }
    static void click(QWidget* button) { QTest::mouseClick(button, Qt::LeftButton); }

    QString label(int item) const { return Q(CheckItemLabel(item)); }
    QStringList labels(std::initializer_list<int> items) const {
        QStringList out;
        for (int n : items)
            out.push_back(label(n));
        return out;
    }

    UiPromptsTestScope prompts_;
    std::unique_ptr<guitest::ProgramFixture> fixture_;
    std::unique_ptr<CDlgTemplate> page_;
    int savedTimeout_ = 0;
};

TEST_F(TemplatePageTest, OpensWithTheOfferedModelsAndEmptyLists) {
    writeDeviceIni("[DeviceName]\nList=KT540G,KT540G-U,KT310\n[DeviceCount]\nCount=2\n[DeviceInfo]\n");
    CDlgTemplate& page = open();
    ASSERT_EQ(page.ModelCombo()->count(), 2);
    EXPECT_EQ(page.ModelCombo()->itemText(0), "KT540G");
    EXPECT_EQ(page.ModelCombo()->itemText(1), "KT540G-U");
    EXPECT_EQ(page.ModelCombo()->currentIndex(), -1);
    EXPECT_EQ(page.CheckedList()->count(), 0);
    EXPECT_EQ(page.UncheckedList()->count(), 0);
    EXPECT_EQ(page.TimeoutEdit()->text(), "15");
    ASSERT_EQ(page.ItemLabels().size(), kCheckItemCount);
    EXPECT_EQ(page.ItemLabels().front(), "01__第一个LAN1口测试");
    EXPECT_TRUE(UiPrompts::shown().empty());
}

TEST_F(TemplatePageTest, ChoosingAModelFillsBothListsInItemOrder) {
    // Any non-zero flag selects the item; the file's order of items does not matter to the lists.
    writeDeviceIni("[DeviceName]\nList=KT540G,KT310\n[DeviceCount]\nCount=2\n[DeviceInfo]\n"
                   "KT540G=1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1\n"
                   "KT310=0,1,0,2,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,-1\n");
    CDlgTemplate& page = open();
    choose(1);
    EXPECT_EQ(page.LoadedTemplate().model, "KT310");
    EXPECT_EQ(Entries(page.CheckedList()), labels({2, 4, 22}));
    QStringList rest;
    for (int n = 1; n <= kCheckItemCount; ++n)
        if (n != 2 && n != 4 && n != 22)
            rest.push_back(label(n));
    EXPECT_EQ(Entries(page.UncheckedList()), rest);

    // Choosing again replaces the lists, it does not add to them.
    choose(0);
    EXPECT_EQ(page.CheckedList()->count(), kCheckItemCount);
    EXPECT_EQ(page.UncheckedList()->count(), 0);
    EXPECT_TRUE(UiPrompts::shown().empty());
}

TEST_F(TemplatePageTest, AModelNoLongerListedIsRefusedOnChoosing) {
    CDlgTemplate& page = open();
    choose(0); // fills the lists
    // The file changes while the page is open: the remembered name is no longer in List.
    writeDeviceIni("[DeviceName]\nList=KT310\n[DeviceCount]\nCount=1\n[DeviceInfo]\n");
    choose(1);
    EXPECT_EQ(UiPrompts::shownTexts(), QStringList{kTemplateUnknownOnChoose});
    EXPECT_EQ(page.CheckedList()->count(), 0);
    EXPECT_EQ(page.UncheckedList()->count(), 0);
}

TEST_F(TemplatePageTest, MoveButtonsWithoutSelectionSayWhatToDo) {
    CDlgTemplate& page = open();
    choose(3); // KT310: item 15 unchecked, the rest checked
    const QStringList left = Entries(page.CheckedList());
    const QStringList right = Entries(page.UncheckedList());
    page.CheckedList()->clearSelection();
    page.UncheckedList()->clearSelection();
    click(page.MoveRightButton());
    click(page.MoveLeftButton());
    EXPECT_EQ(UiPrompts::shownTexts(), (QStringList{kTemplateNoSelection, kTemplateNoSelection}));
    EXPECT_EQ(Entries(page.CheckedList()), left);
    EXPECT_EQ(Entries(page.UncheckedList()), right);
}

TEST_F(TemplatePageTest, ButtonsAndDoubleClicksMoveEntriesAndKeepItemOrder) {
    CDlgTemplate& page = open();
    choose(3); // KT310
    ASSERT_EQ(Entries(page.UncheckedList()), labels({15}));

    select(page.CheckedList(), label(20));
    click(page.MoveRightButton());
    doubleClick(page.CheckedList(), label(3));
    EXPECT_EQ(Entries(page.UncheckedList()), labels({3, 15, 20}));

    select(page.UncheckedList(), label(15));
    click(page.MoveLeftButton());
    doubleClick(page.UncheckedList(), label(3));
    EXPECT_EQ(Entries(page.UncheckedList()), labels({20}));
    QStringList left;
    for (int n = 1; n <= kCheckItemCount; ++n)
        if (n != 20)
            left.push_back(label(n));
    EXPECT_EQ(Entries(page.CheckedList()), left);
    EXPECT_TRUE(UiPrompts::shown().empty());
}

TEST_F(TemplatePageTest, SavingWritesTheChosenModelsLineAndKeepsTheRest) {
    const std::string before = test::readFile(iniPath());
    CDlgTemplate& page = open();
    choose(0); // KT540G, every item checked
    while (page.CheckedList()->count() > 0)
        doubleClick(page.CheckedList(), page.CheckedList()->item(0)->text());
    doubleClick(page.UncheckedList(), label(13));
    click(page.SaveButton());
    EXPECT_EQ(UiPrompts::shownTexts(), QStringList{kTemplateSaved});

    std::array<int, kCheckItemCount> expected{};
    expected[12] = 1;
    EXPECT_EQ(LoadDeviceTemplate("KT540G").flags, expected);
    const std::string after = test::readFile(iniPath());
    EXPECT_NE(after.find("KT540G=0,0,0,0,0,0,0,0,0,0,0,0,1,0,0,0,0,0,0,0,0,0"), std::string::npos) << after;
    EXPECT_EQ(LinesWithout(after, "KT540G="), LinesWithout(before, "KT540G="));

    // Everything on the right: all zero.
    doubleClick(page.CheckedList(), label(13));
    click(page.SaveButton());
    EXPECT_EQ(LoadDeviceTemplate("KT540G").flags, (std::array<int, kCheckItemCount>{}));
    EXPECT_NE(test::readFile(iniPath()).find("KT540G=0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0"), std::string::npos);
}

// A template saved here reaches a diagnosis only when the model is next confirmed on the diagnosis page,
// which reads it anew from device.ini; from then on the item list and the run follow it.
TEST_F(TemplatePageTest, SavedTemplateRunsAfterTheNextConfirm) {
    sim::Options simOptions;
    simOptions.address = test::gatewayAddress(kSubnet);
    simOptions.model = "KT540G";
    sim::GatewaySimulator gateway(simOptions);
    const Result<void> startup = gateway.start();
    ASSERT_TRUE(startup.ok()) << startup.error();

    SessionOptions sessionOptions;
    sessionOptions.replyTimeoutSeconds = 1;
    auto diagnosis = std::make_unique<CorvaDlg>(nullptr, nullptr, sessionOptions);
    diagnosis->show();
    // The technician acknowledges every question.
    QTimer technician;
    technician.setInterval(5);
    QObject::connect(&technician, &QTimer::timeout, [&] {
        if (diagnosis->judge()->isVisible())
            click(diagnosis->judge()->okButton());
    });
    technician.start();
    const auto ticks = [&] {
        std::vector<int> ticked;
        for (int r = 0; r < diagnosis->itemList()->topLevelItemCount(); ++r)
            if (diagnosis->itemList()->topLevelItem(r)->checkState(0) == Qt::Checked)
                ticked.push_back(r + 1);
        return ticked;
    };
    const auto runAndCollect = [&] {
        click(diagnosis->startButton());
        EXPECT_TRUE(guitest::WaitUntil([&] { return diagnosis->session().lastRun().ended; }, 30000));
        std::vector<int> items;
        for (const CheckOutcome& c : diagnosis->session().lastRun().checks)
            items.push_back(c.item);
        return items;
    };

    // A first run with the shipped template makes the item list's rows.
    click(diagnosis->confirmButton());
    ASSERT_EQ(diagnosis->session().deviceTemplate()->flags, LoadDeviceTemplate("KT540G").flags);
    const std::vector<int> shipped = runAndCollect();
    ASSERT_EQ(shipped.size(), static_cast<size_t>(kCheckItemCount));

    // KT540G keeps only LAN1 and the software version.
    CDlgTemplate& page = open();
    choose(0);
    ASSERT_EQ(page.LoadedTemplate().model, "KT540G");
    for (int n = kCheckItemCount; n >= 1; --n)
        if (n != 1 && n != 17)
            doubleClick(page.CheckedList(), label(n));
    ASSERT_EQ(Entries(page.CheckedList()), labels({1, 17}));
    UiPrompts::clearShown();
    click(page.SaveButton());
    ASSERT_EQ(UiPrompts::shownTexts(), QStringList{kTemplateSaved});

    // Not yet: the diagnosis page still holds what it loaded.
    EXPECT_EQ(runAndCollect(), shipped);

    UiPrompts::clearShown();
    click(diagnosis->confirmButton());
    EXPECT_EQ(UiPrompts::shownTexts(), QStringList{QStringLiteral("设备选择成功")});
    EXPECT_EQ(ticks(), (std::vector<int>{1, 17}));
    EXPECT_EQ(runAndCollect(), (std::vector<int>{1, 17}));
    EXPECT_EQ(ticks(), (std::vector<int>{1, 17}));
    EXPECT_EQ(diagnosis->currentLogTab()->list()->rowCount(), 2);

    technician.stop();
    diagnosis.reset();
    gateway.stop();
}

// The model saved under is the combo box's text, typed or chosen, checked by the substring rule.
struct SaveCase {
    const char* what;
    const char* typed;
    const char* message;
    bool written;
};

class TemplateSaveRuleTest : public TemplatePageTest, public ::testing::WithParamInterface<SaveCase> {};

TEST_P(TemplateSaveRuleTest, TypedModelIsCheckedAgainstTheList) {
    const SaveCase& c = GetParam();
    writeDeviceIni("[DeviceName]\nList=KT540G-U\n[DeviceCount]\nCount=1\n[DeviceInfo]\n"
                   "KT540G-U=1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,0\n");
    CDlgTemplate& page = open();
    ASSERT_EQ(page.ModelCombo()->count(), 1);
    choose(0);
    page.ModelCombo()->lineEdit()->selectAll();
    page.ModelCombo()->lineEdit()->setFocus();
    QTest::keyClick(page.ModelCombo()->lineEdit(), Qt::Key_Backspace);
    QTest::keyClicks(page.ModelCombo()->lineEdit(), QString::fromUtf8(c.typed));
    ASSERT_EQ(page.ModelCombo()->currentText(), QString::fromUtf8(c.typed));
    const std::string before = test::readFile(iniPath());

    click(page.SaveButton());
    EXPECT_EQ(UiPrompts::shownTexts(), QStringList{QString::fromUtf8(c.message)}) << c.what;
    const std::string after = test::readFile(iniPath());
    if (c.written) {
        EXPECT_NE(after.find(std::string(c.typed) + "=1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,0"), std::string::npos)
            << c.what << "\n"
            << after;
        EXPECT_EQ(LoadDeviceTemplate(c.typed).flags, LoadDeviceTemplate("KT540G-U").flags) << c.what;
    } else {
        EXPECT_EQ(after, before) << c.what;
    }
    // The combo box still offers only the listed model.
    EXPECT_EQ(page.ModelCombo()->count(), 1);
}

INSTANTIATE_TEST_SUITE_P(Cases, TemplateSaveRuleTest,
                         ::testing::Values(SaveCase{"listed name", "KT540G-U", kTemplateSaved, true},
                                           SaveCase{"part of a listed name", "KT540G", kTemplateSaved, true},
                                           SaveCase{"tail of a listed name", "0G-U", kTemplateSaved, true},
                                           SaveCase{"letter case differs", "kt540g", kTemplateUnknownOnSave, false},
                                           SaveCase{"not listed", "KT310", kTemplateUnknownOnSave, false},
                                           SaveCase{"empty", "", kTemplateUnknownOnSave, false}),
                         [](const auto& info) { return test::CaseName(info.param.what); });

TEST_F(TemplatePageTest, SavingBeforeAnyModelIsChosenWritesNothing) {
    CDlgTemplate& page = open();
    const std::string before = test::readFile(iniPath());
    click(page.SaveButton());
    EXPECT_EQ(UiPrompts::shownTexts(), QStringList{kTemplateUnknownOnSave});
    EXPECT_EQ(test::readFile(iniPath()), before);
}

// The time-out edit: what is typed, what the page says and what reaches the channel.
struct TimeoutCase {
    const char* typed;
    const char* message;
    int applied; // the channel's reply time-out afterwards; kUnchanged when refused
};
constexpr int kUnchanged = 4242;

class TemplateTimeoutTest : public TemplatePageTest, public ::testing::WithParamInterface<TimeoutCase> {};

TEST_P(TemplateTimeoutTest, SetButtonAppliesOnlyAPositiveTimeout) {
    const TimeoutCase& c = GetParam();
    CDlgTemplate& page = open();
    CommandChannel::Instance().SetReplyTimeout(kUnchanged);
    page.TimeoutEdit()->clear();
    const QString typed = QString::fromUtf8(c.typed);
    // QTest types only what a keyboard map has; wide digits come in as an input method would put them.
    bool ascii = true;
    for (QChar ch : typed)
        ascii = ascii && ch.unicode() < 0x80;
    if (ascii)
        QTest::keyClicks(page.TimeoutEdit(), typed);
    else
        page.TimeoutEdit()->insert(typed);
    click(page.TimeoutButton());
    EXPECT_EQ(UiPrompts::shownTexts(), QStringList{QString::fromUtf8(c.message)}) << c.typed;
    EXPECT_EQ(CommandChannel::Instance().ReplyTimeout(), c.applied) << c.typed;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TemplateTimeoutTest,
    ::testing::Values(TimeoutCase{"20", kTimeoutSet, 20}, TimeoutCase{"20s", kTimeoutSet, 20},
                      TimeoutCase{"1", kTimeoutSet, 1}, TimeoutCase{"+30", kTimeoutSet, 30},
                      TimeoutCase{"s20", kTimeoutInvalid, kUnchanged}, TimeoutCase{"0", kTimeoutInvalid, kUnchanged},
                      TimeoutCase{"-5", kTimeoutInvalid, kUnchanged}, TimeoutCase{"１５", kTimeoutInvalid, kUnchanged},
                      TimeoutCase{"", kTimeoutEmpty, kUnchanged}),
    [](const auto& info) { return "typed_" + std::to_string(info.index) + "_" + test::CaseName(info.param.typed); });

TEST(TemplateFlags, CheckedEntriesSetTheirItemsFlag) {
    struct Case {
        QStringList entries;
        std::vector<int> ones;
    };
    const std::vector<Case> cases = {
        {{}, {}},
        {{"01__a", "22__b"}, {1, 22}},
        {{"07__x", "07__again"}, {7}},
        // Nothing outside the 22 items is written, and text without a number sets nothing.
        {{"00__", "23__", "99__", "xx__", "-1__"}, {}},
        {{"5___one digit"}, {5}},
    };
    for (const Case& c : cases) {
        std::array<int, kCheckItemCount> expected{};
        for (int n : c.ones)
            expected[static_cast<size_t>(n - 1)] = 1;
        EXPECT_EQ(FlagsFromCheckedLabels(c.entries), expected) << c.entries.join(',').toStdString();
    }
}

} // namespace
} // namespace orva

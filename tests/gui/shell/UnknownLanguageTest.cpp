// A `Language` the tool does not know selects no language. The real windows then show what they show in
// Chinese: every caption, group title, column heading and window title, control by control; nothing the
// text table drives goes blank.
#include "GuiTestSupport.h"

#include "TestSubnets.h"
#include "gui/controls/CPngButton.h"
#include "gui/diagnosis/CPage1Dlg.h"
#include "gui/diagnosis/CPage2Dlg.h"
#include "gui/diagnosis/CorvaDlg.h"
#include "gui/records/CDlgLogQuery.h"
#include "gui/records/LogRowsModel.h"
#include "core/records/RecordStore.h"
#include "gui/shell/CDlgMain.h"
#include "gui/web/CDlgLogin.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QTableView>
#include <QTreeWidget>

#include <algorithm>
#include <memory>

namespace orva {
namespace {

// Nothing is sent: the subnet only keeps the settings file apart from other suites'.
constexpr int kUnknownLanguageSubnet = orva::test::subnets::gui_shell::kUnknownLanguage;

// Every text a person reads on `top` and on the widgets inside it, each named by its place in the
// widget tree, its class and its object name.
std::vector<std::string> ShownTexts(QWidget* top) {
    std::vector<std::string> out;
    QList<QWidget*> widgets{top};
    widgets += top->findChildren<QWidget*>();
    for (int i = 0; i < widgets.size(); ++i) {
        QWidget* w = widgets[i];
        const std::string where =
            std::to_string(i) + " " + w->metaObject()->className() + "#" + w->objectName().toStdString() + " ";
        auto add = [&](const char* what, const QString& text) { out.push_back(where + what + ": " + text.toStdString()); };
        if (w->isWindow())
            add("title", w->windowTitle());
        if (auto* label = qobject_cast<QLabel*>(w))
            add("text", label->text());
        if (auto* button = qobject_cast<QAbstractButton*>(w))
            add("caption", button->text());
        if (auto* group = qobject_cast<QGroupBox*>(w))
            add("group", group->title());
        if (auto* view = qobject_cast<QAbstractItemView*>(w); view && view->model()) {
            for (int c = 0; c < view->model()->columnCount(); ++c)
                add("heading", view->model()->headerData(c, Qt::Horizontal).toString());
        }
    }
    return out;
}

using Texts = std::vector<std::string>;

Texts Headings(const QAbstractItemView* view) {
    Texts out;
    for (int c = 0; c < view->model()->columnCount(); ++c)
        out.push_back(view->model()->headerData(c, Qt::Horizontal).toString().toStdString());
    return out;
}

// What the main window with its real pages and the login dialog show in one language, and the
// headings the lists show.
struct Screen {
    std::vector<std::string> main;
    std::vector<std::string> login;
    Texts items;       // the diagnosis page's item list
    Texts currentLog;  // its two log tabs
    Texts allLogs;
    Texts queryResult; // the log query page's list once a search found a row
};

Screen Look(const std::string& language) {
    guitest::ProgramFixture program(kUnknownLanguageSubnet, {{"Language", language}}, "orva-gui-language");
    {
        RecordStore store(program.dir().file("orvalog.db"));
        EXPECT_TRUE(store.open("logs"));
        DiagRecord record;
        record.sn = "SN1";
        const std::string today = QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd")).toStdString();
        EXPECT_EQ(store.insert("logs", {record}, today + " 12:00:00"), RecordStore::Stored);
    }
    UiPrompts::clearShown();
    Screen s;
    CDlgMain main("11-2.2-33333333", "http://127.0.0.1:9/login", "http://127.0.0.1:9/report");
    main.initialise();
    main.show();
    auto* query = static_cast<CDlgLogQuery*>(main.page(PageId::LogQuery));
    main.selectPage(PageId::LogQuery);
    QTest::mouseClick(query->searchButton(), Qt::LeftButton);
    EXPECT_TRUE(guitest::WaitUntil([&] { return query->resultModel()->rowCount() == 1; }));
    s.main = ShownTexts(&main);

    auto* diagnosis = static_cast<CorvaDlg*>(main.page(PageId::Diagnosis));
    s.items = Headings(diagnosis->itemList());
    s.currentLog = Headings(diagnosis->currentLogTab()->list());
    s.allLogs = Headings(diagnosis->allLogsTab()->list());
    s.queryResult = Headings(query->resultList());

    CDlgLogin login(nullptr, "11-2.2-33333333", "http://127.0.0.1:9/login");
    s.login = ShownTexts(&login);
    // Building the windows asked nothing.
    EXPECT_TRUE(UiPrompts::shownTexts().isEmpty()) << UiPrompts::shownTexts().join('|').toStdString();
    return s;
}

struct LanguageCase {
    const char* language;
    const char* name;
};

class UnknownLanguage : public ::testing::TestWithParam<LanguageCase> {};

TEST_P(UnknownLanguage, ShowsTheChineseCaptionsAndHeadings) {
    const Screen chinese = Look("Chinese");
    const Screen unknown = Look(GetParam().language);

    // The headings the text table drives, named outright so that a blank one in both languages fails too.
    const Texts logHeadings{"序号", "检测项", "检测结果"};
    for (const Screen* s : {&chinese, &unknown}) {
        EXPECT_EQ(s->items, (Texts{"诊断项", "诊断状态"}));
        EXPECT_EQ(s->currentLog, logHeadings);
        EXPECT_EQ(s->allLogs, logHeadings);
        ASSERT_FALSE(s->queryResult.empty());
        EXPECT_EQ(s->queryResult.front(), "ID");
        EXPECT_EQ(std::count(s->queryResult.begin(), s->queryResult.end(), ""), 0);
    }
    EXPECT_EQ(unknown.queryResult, chinese.queryResult);

    // Everything else, control by control.
    for (const auto& [mine, theirs] : {std::pair{&unknown.main, &chinese.main}, std::pair{&unknown.login, &chinese.login}}) {
        ASSERT_EQ(mine->size(), theirs->size());
        for (std::size_t i = 0; i < mine->size(); ++i)
            EXPECT_EQ((*mine)[i], (*theirs)[i]);
    }
}

// A name in Chinese is no language name either; an empty value selects nothing as well.
INSTANTIATE_TEST_SUITE_P(Settings, UnknownLanguage,
                         ::testing::Values(LanguageCase{"Klingon", "Klingon"}, LanguageCase{"中文", "ChineseWord"},
                                           LanguageCase{"", "Empty"}),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace orva

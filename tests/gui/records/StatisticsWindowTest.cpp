// The statistics window opened from the log query page after a search, offscreen: its charts and their
// categories, and the CSV and PNG files it saves (or a clear message when it cannot).
#include "../shell/GuiTestSupport.h"

#include "TestSubnets.h"
#include "core/records/RecordSchema.h"
#include "core/records/RecordStatsText.h"
#include "core/records/RecordStore.h"
#include "gui/controls/CPngButton.h"
#include "gui/records/CDlgLogQuery.h"
#include "gui/records/CDlgStatistics.h"

#include <QAbstractBarSeries>
#include <QBarCategoryAxis>
#include <QBarSet>
#include <QChart>
#include <QDateEdit>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>

#include <filesystem>
#include <memory>
#include <set>

namespace orva {
namespace {

using guitest::Q;

// Nothing here touches the network; the subnet only keeps the settings file apart from other suites'.
constexpr int kStatisticsSubnet = orva::test::subnets::gui_records::kStatistics;

constexpr const char* kFaultsDdl[] = {
    "CREATE TABLE IF NOT EXISTS [faults] ([id] INTEGER PRIMARY KEY AUTOINCREMENT, [LogId] INTEGER NOT NULL, "
    "[Item] INTEGER NOT NULL, [Fault] TEXT NOT NULL);",
    "CREATE INDEX IF NOT EXISTS [faults_LogId] ON [faults] ([LogId]);",
    "CREATE INDEX IF NOT EXISTS [faults_Item] ON [faults] ([Item]);",
};

struct Seeded {
    const char* at;
    const char* model;
    int fe1;
    std::vector<int> faultItems;
};

// Five units on two days of May 2024 and one in June: two with faults.
const std::vector<Seeded> kUnits = {
    {"2024-05-10 08:00:00", "KT540G", CheckPassed, {}},
    {"2024-05-10 09:00:00", "KT540G", CheckFailed, {1}},
    {"2024-05-11 10:00:00", "KT593G", CheckNotTested, {}},
    {"2024-05-11 11:00:00", "KT593G", CheckPassed, {}},
    {"2024-05-11 12:00:00", "KT310", CheckNotTested, {1, 14}},
    {"2024-06-01 12:00:00", "KT310", CheckPassed, {1}},
};

class StatisticsWindowTest : public ::testing::Test {
protected:
    void SetUp() override { start("Chinese"); }
    void TearDown() override {
        page_.reset();
        program_.reset();
    }
    void start(const std::string& language) {
        page_.reset();
        program_.reset();
        UiPrompts::clearShown();
        program_ = std::make_unique<guitest::ProgramFixture>(
            kStatisticsSubnet, std::map<std::string, std::string>{{"Language", language}}, "orva-gui-statistics");
        seed();
    }
    void seed() {
        {
            RecordStore store(path());
            ASSERT_TRUE(store.open("logs"));
        }
        SqliteDb db;
        db.open(path());
        for (const char* sql : kFaultsDdl)
            db.execute(sql);
        std::int64_t id = 0;
        for (const Seeded& u : kUnits) {
            DiagRecord r;
            r.sn = "SN" + std::to_string(++id);
            r.DeviceType = u.model;
            r.Operator = "alice";
            r.FE1Check = u.fe1;
            db.execute(InsertSql("logs"), InsertParams(r, u.at));
            for (int item : u.faultItems)
                db.execute("INSERT INTO faults (LogId, Item, Fault) VALUES (?, ?, 'x')",
                           {id, static_cast<std::int64_t>(item)});
        }
    }
    std::string path() const { return program_->dir().file("orvalog.db"); }

    CDlgLogQuery& page() {
        if (!page_) {
            page_ = std::make_unique<CDlgLogQuery>();
            page_->show();
            EXPECT_TRUE(QTest::qWaitForWindowExposed(page_.get()));
        }
        return *page_;
    }
    // Searches May 2024 and opens the statistics of what was found; null when the window did not come.
    CDlgStatistics* openForMay() {
        page().startDateEdit()->setDate(QDate(2024, 5, 1));
        page().endDateEdit()->setDate(QDate(2024, 5, 31));
        EXPECT_FALSE(page().statisticsButton()->isEnabled()); // nothing searched yet
        QSignalSpy found(&page(), &CDlgLogQuery::searchFinished);
        QTest::mouseClick(page().searchButton(), Qt::LeftButton);
        EXPECT_TRUE(found.count() == 1 || found.wait(60000));
        EXPECT_TRUE(page().statisticsButton()->isEnabled());
        QTest::mouseClick(page().statisticsButton(), Qt::LeftButton);
        CDlgStatistics* window = page().statisticsWindow();
        if (!window)
            return nullptr;
        EXPECT_TRUE(QTest::qWaitFor([&] { return !window->computing(); }, 60000));
        EXPECT_TRUE(QTest::qWaitForWindowExposed(window));
        return window;
    }

    static QStringList Categories(QChart* chart) {
        for (QAbstractAxis* axis : chart->axes())
            if (auto* names = qobject_cast<QBarCategoryAxis*>(axis))
                return names->categories();
        return {};
    }
    static QList<qreal> Values(QChart* chart) {
        const QList<QAbstractSeries*> series = chart->series();
        if (series.size() != 1)
            return {};
        auto* bars = qobject_cast<QAbstractBarSeries*>(series.front());
        if (!bars || bars->count() != 1)
            return {};
        QList<qreal> values;
        for (int i = 0; i < bars->barSets().front()->count(); ++i)
            values << bars->barSets().front()->at(i);
        return values;
    }

    UiPromptsTestScope prompts_;
    test::RecordingNotifier notes_;
    std::unique_ptr<guitest::ProgramFixture> program_;
    std::unique_ptr<CDlgLogQuery> page_;
};

TEST_F(StatisticsWindowTest, OpensForTheSearchWithItsCharts) {
    CDlgStatistics* window = openForMay();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->windowTitle(), QStringLiteral("记录统计"));
    // The June unit is outside the search.
    EXPECT_EQ(window->figures().units, 5);
    EXPECT_EQ(window->figures().faultless, 3);
    EXPECT_EQ(window->summaryLabel()->text(), QStringLiteral("记录数: 5    无故障记录数: 3"));

    const QStringList items = Categories(window->itemsChart());
    ASSERT_EQ(items.size(), 22);
    EXPECT_EQ(items.back(), QStringLiteral("01 第一个LAN1口测试")); // drawn at the top
    EXPECT_EQ(items.front().left(3), QStringLiteral("22 "));
    const QList<qreal> itemRates = Values(window->itemsChart());
    ASSERT_EQ(itemRates.size(), 22);
    // Item 1: tested by four units (three stored results, one fault row with no result), failed by two.
    EXPECT_DOUBLE_EQ(itemRates.back(), 50.0);
    EXPECT_DOUBLE_EQ(itemRates[22 - 14], 100.0); // item 14: its one fault row is its only test
    EXPECT_DOUBLE_EQ(itemRates[22 - 2], 0.0);

    EXPECT_EQ(Categories(window->modelsChart()), (QStringList{"KT310", "KT540G", "KT593G"}));
    EXPECT_EQ(Values(window->modelsChart()), (QList<qreal>{100.0, 50.0, 0.0}));
    EXPECT_EQ(Categories(window->daysChart()), (QStringList{"2024-05-10", "2024-05-11"}));
    EXPECT_EQ(Values(window->daysChart()), (QList<qreal>{2.0, 3.0}));
    EXPECT_TRUE(window->pngButton()->isEnabled());
    EXPECT_TRUE(window->csvButton()->isEnabled());

    // A second press opens a window for the new search in place of the first.
    QPointer<CDlgStatistics> first = window;
    page().serialEdit()->setText(QStringLiteral("SN3"));
    QSignalSpy found(&page(), &CDlgLogQuery::searchFinished);
    QTest::mouseClick(page().searchButton(), Qt::LeftButton);
    ASSERT_TRUE(found.count() == 1 || found.wait(60000));
    QTest::mouseClick(page().statisticsButton(), Qt::LeftButton);
    CDlgStatistics* second = page().statisticsWindow();
    ASSERT_NE(second, nullptr);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !second->computing() && !first; }, 60000));
    EXPECT_EQ(second->figures().units, 1);
    EXPECT_EQ(Categories(second->modelsChart()), QStringList{"KT593G"});
}

TEST_F(StatisticsWindowTest, SavesTheFiguresAsCsvAndTheChartsAsPng) {
    CDlgStatistics* window = openForMay();
    ASSERT_NE(window, nullptr);
    const std::string csv = program_->dir().file("figures.csv");
    UiPrompts::queueFileName(Q(csv));
    QSignalSpy saved(window, &CDlgStatistics::exportFinished);
    QTest::mouseClick(window->csvButton(), Qt::LeftButton);
    ASSERT_TRUE(saved.count() == 1 || saved.wait(10000));
    EXPECT_TRUE(saved.takeFirst().front().toBool());
    const std::string text = test::readFile(csv);
    EXPECT_EQ(text, StatsCsv(window->figures()));
    EXPECT_EQ(text.rfind("\xEF\xBB\xBF概况\r\n记录数,无故障记录数\r\n5,3\r\n", 0), 0u) << text;
    EXPECT_NE(text.find("\r\n1,第一个LAN1口测试,4,2,50.0\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\r\nKT310,1,1,100.0\r\nKT540G,2,1,50.0\r\nKT593G,2,0,0.0\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\r\n2024-05-10,2\r\n2024-05-11,3\r\n"), std::string::npos) << text;
    EXPECT_EQ(UiPrompts::shownTexts().back(), Q("统计已保存到 " + csv));

    const std::string png = program_->dir().file("charts.png");
    UiPrompts::queueFileName(Q(png));
    QTest::mouseClick(window->pngButton(), Qt::LeftButton);
    ASSERT_TRUE(saved.count() == 1 || saved.wait(10000));
    EXPECT_TRUE(saved.takeFirst().front().toBool());
    const QImage image(Q(png), "PNG");
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.size(), window->chartsArea()->size() * window->chartsArea()->devicePixelRatio());
    // Not one blank colour: the charts were drawn into it.
    std::set<QRgb> colours;
    for (int y = 0; y < image.height(); y += 7)
        for (int x = 0; x < image.width(); x += 7)
            colours.insert(image.pixel(x, y));
    EXPECT_GT(colours.size(), 8u);
    // Nothing of the temporary files is left beside them.
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(program_->dir().path()))
        files += entry.is_regular_file() ? 1 : 0;
    EXPECT_EQ(files, 3); // orvalog.db, figures.csv, charts.png
}

TEST_F(StatisticsWindowTest, AFileThatCannotBeWrittenIsToldWithItsReason) {
    CDlgStatistics* window = openForMay();
    ASSERT_NE(window, nullptr);
    struct Case {
        QPushButton* button;
        std::string path;
    };
    for (const Case& c : {Case{window->csvButton(), program_->dir().file("no-such-folder/figures.csv")},
                          Case{window->pngButton(), program_->dir().file("no-such-folder/charts.png")},
                          Case{window->csvButton(), program_->dir().path()}}) {
        SCOPED_TRACE(c.path);
        UiPrompts::queueFileName(Q(c.path));
        QSignalSpy saved(window, &CDlgStatistics::exportFinished);
        QTest::mouseClick(c.button, Qt::LeftButton);
        ASSERT_TRUE(saved.count() == 1 || saved.wait(10000));
        EXPECT_FALSE(saved.front().front().toBool());
        const QString said = UiPrompts::shownTexts().back();
        EXPECT_TRUE(said.startsWith(Q("统计无法保存到 " + c.path + "："))) << said.toStdString();
        // The reason follows the file.
        EXPECT_GT(said.size(), Q("统计无法保存到 " + c.path + "：").size()) << said.toStdString();
    }
    EXPECT_FALSE(std::filesystem::exists(program_->dir().file("no-such-folder")));
}

TEST_F(StatisticsWindowTest, ReadsInEnglish) {
    start("English");
    CDlgStatistics* window = openForMay();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(page().statisticsButton()->text(), QStringLiteral("Statistics"));
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Record statistics"));
    EXPECT_EQ(window->summaryLabel()->text(), QStringLiteral("Units: 5    Units with no fault: 3"));
    EXPECT_EQ(window->itemsChart()->title(), QStringLiteral("Failure rate per check item (%)"));
    EXPECT_EQ(Categories(window->itemsChart()).back(), QStringLiteral("01 LAN1 test"));
    EXPECT_EQ(window->pngButton()->text(), QStringLiteral("Export PNG"));
}

// A file left by an earlier version has no faults table: the figures count no fault, and say so
// without an error.
TEST_F(StatisticsWindowTest, AFileWithoutFaultsGivesFiguresWithoutFaults) {
    {
        SqliteDb db;
        db.open(path());
        db.execute("DROP TABLE faults");
    }
    CDlgStatistics* window = openForMay();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->figures().units, 5);
    EXPECT_EQ(window->figures().faultless, 5);
    EXPECT_EQ(Values(window->modelsChart()), (QList<qreal>{0.0, 0.0, 0.0}));
    EXPECT_TRUE(notes_.messages().empty());
}

} // namespace
} // namespace orva

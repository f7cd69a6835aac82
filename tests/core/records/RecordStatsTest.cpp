// The record figures of a real orvalog.db, checked against the same figures counted here from the rows
// the test stored: several models and days, fault rows for some units (twice for one item now and
// then), items left untested, and a file that has no faults table at all.
#include "core/diagnosis/CheckItems.h"
#include "core/diagnosis/CheckStats.h"
#include "core/records/RecordStats.h"
#include "core/records/RecordStatsText.h"
#include "core/records/RecordSchema.h"
#include "core/records/RecordStore.h"

#include "core/app/TextTable.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>
#include <set>

namespace orva {
namespace {

// The table of the faults the store keeps per stored record, exactly as the store creates it.
constexpr const char* kFaultsDdl[] = {
    "CREATE TABLE IF NOT EXISTS [faults] ([id] INTEGER PRIMARY KEY AUTOINCREMENT, [LogId] INTEGER NOT NULL, "
    "[Item] INTEGER NOT NULL, [Fault] TEXT NOT NULL);",
    "CREATE INDEX IF NOT EXISTS [faults_LogId] ON [faults] ([LogId]);",
    "CREATE INDEX IF NOT EXISTS [faults_Item] ON [faults] ([Item]);",
};

// Whether the record holds a result of the item, written out per item rather than from the check table,
// so that a wrong column in the table shows.
bool RecordTested(const DiagRecord& r, int item) {
    switch (item) {
    case 1: return r.FE1Check != CheckNotTested;
    case 2: return r.FE2Check != CheckNotTested;
    case 3: return r.FE3Check != CheckNotTested;
    case 4: return r.FE4Check != CheckNotTested;
    case 5: case 6: case 7: return r.POS1Check != CheckNotTested;
    case 8: case 9: case 10: return r.POS2Check != CheckNotTested;
    case 12: return r.PONCheck != CheckNotTested;
    case 13: return r.FlashCheck != CheckNotTested;
    case 14: return r.LEDCheck != CheckNotTested;
    case 15: return r.USBCheck != CheckNotTested;
    case 16: return r.WifiCheck != CheckNotTested;
    case 17: return !r.SoftWareVersionCheck.empty();
    case 18: return !r.PSCheck.empty();
    case 19: return r.CPULoadCheck != 0 || r.MemCheck != 0;
    case 21: return r.PreConfigCheck != CheckNotTested;
    case 22: return r.DiskIntegrityCheck != CheckNotTested;
    default: return false; // 11 and 20 fill no field
    }
}

struct Unit {
    int id = 0;
    std::string at;
    DiagRecord record;
    std::vector<int> faultItems; // may name an item twice
};

// A deterministic spread of units over three models, four days and three operators.
std::vector<Unit> SeedUnits() {
    std::vector<Unit> units;
    unsigned seed = 12345;
    auto next = [&](unsigned n) {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 16) % n;
    };
    const char* models[] = {"KT540G", "KT593G", "KT310"};
    const char* operators[] = {"alice", "bob", "O'Neil"};
    for (int n = 0; n < 90; ++n) {
        Unit u;
        const int day = 1 + static_cast<int>(next(4));
        u.at = "2026-03-0" + std::to_string(day) + " 1" + std::to_string(next(10)) + ":00:00";
        DiagRecord& r = u.record;
        r.sn = "SN" + std::to_string(n % 30);
        r.DeviceType = models[next(3)];
        r.Operator = operators[next(3)];
        auto result = [&] {
            const unsigned v = next(10);
            return v < 2 ? CheckNotTested : (v < 4 ? CheckFailed : CheckPassed);
        };
        r.FE1Check = result();
        r.FE2Check = result();
        r.FE3Check = result();
        r.FE4Check = result();
        r.POS1Check = result();
        r.POS2Check = result();
        r.PONCheck = result();
        r.FlashCheck = result();
        r.LEDCheck = result();
        r.USBCheck = result();
        r.WifiCheck = result();
        r.PreConfigCheck = result();
        r.DiskIntegrityCheck = result();
        if (next(3))
            r.SoftWareVersionCheck = "V1." + std::to_string(next(5));
        if (next(3))
            r.PSCheck = next(2) ? "OK" : "FAIL";
        if (next(3)) {
            r.CPULoadCheck = static_cast<float>(next(100)) + 0.5f;
            r.MemCheck = 40.25f;
        }
        // Some units carry fault rows: for failed items, for items no field records (11, 20) and for an
        // item whose field says untested (the exchange itself failed).
        if (next(3) == 0) {
            for (int item = 1; item <= kCheckItemCount; ++item)
                if (next(8) == 0)
                    u.faultItems.push_back(item);
            if (next(4) == 0)
                u.faultItems.push_back(11);
            if (!u.faultItems.empty() && next(2) == 0)
                u.faultItems.push_back(u.faultItems.front());
        }
        units.push_back(std::move(u));
    }
    return units;
}

// The figures counted from the units the filter selects.
RecordStats Expected(const std::vector<Unit>& units, const LogFilter& filter, const std::vector<StatsItem>& items,
                     bool withFaults) {
    auto selected = [&](const Unit& u) {
        if (!filter.serial.empty())
            return u.record.sn == filter.serial;
        if (!filter.deviceType.empty())
            return u.record.DeviceType == filter.deviceType;
        if (!filter.operatorName.empty())
            return u.record.Operator == filter.operatorName;
        return u.at >= LogDateText(filter.from, false) && u.at <= LogDateText(filter.to, true);
    };
    RecordStats s;
    std::map<std::string, ModelFigure> models;
    std::map<std::string, std::int64_t> days;
    for (const StatsItem& item : items)
        s.items.push_back({item.number, item.name});
    for (const Unit& u : units) {
        if (!selected(u))
            continue;
        const std::set<int> faults =
            withFaults ? std::set<int>(u.faultItems.begin(), u.faultItems.end()) : std::set<int>();
        ++s.units;
        if (faults.empty())
            ++s.faultless;
        ModelFigure& m = models[u.record.DeviceType];
        m.model = u.record.DeviceType;
        ++m.units;
        if (!faults.empty())
            ++m.withFault;
        ++days[u.at.substr(0, 10)];
        for (ItemFigure& f : s.items) {
            const bool failed = faults.count(f.number) > 0;
            if (failed || RecordTested(u.record, f.number))
                ++f.tested;
            if (failed)
                ++f.failed;
        }
    }
    for (const auto& [name, m] : models)
        s.models.push_back(m);
    for (const auto& [day, count] : days)
        s.days.push_back({day, count});
    return s;
}

void ExpectSame(const RecordStats& got, const RecordStats& want) {
    EXPECT_EQ(got.units, want.units);
    EXPECT_EQ(got.faultless, want.faultless);
    ASSERT_EQ(got.items.size(), want.items.size());
    for (std::size_t i = 0; i < want.items.size(); ++i) {
        SCOPED_TRACE("item " + std::to_string(want.items[i].number));
        EXPECT_EQ(got.items[i].number, want.items[i].number);
        EXPECT_EQ(got.items[i].name, want.items[i].name);
        EXPECT_EQ(got.items[i].tested, want.items[i].tested);
        EXPECT_EQ(got.items[i].failed, want.items[i].failed);
    }
    ASSERT_EQ(got.models.size(), want.models.size());
    for (std::size_t i = 0; i < want.models.size(); ++i) {
        EXPECT_EQ(got.models[i].model, want.models[i].model);
        EXPECT_EQ(got.models[i].units, want.models[i].units) << want.models[i].model;
        EXPECT_EQ(got.models[i].withFault, want.models[i].withFault) << want.models[i].model;
    }
    ASSERT_EQ(got.days.size(), want.days.size());
    for (std::size_t i = 0; i < want.days.size(); ++i) {
        EXPECT_EQ(got.days[i].day, want.days[i].day);
        EXPECT_EQ(got.days[i].units, want.days[i].units) << want.days[i].day;
    }
}

class RecordStatsTest : public ::testing::Test {
protected:
    void SetUp() override { SelectLanguage("Chinese"); }
    void TearDown() override { ResetLanguageForTests(); }

    // Stores the units (each at its own time, ids in order) and, when asked, their fault rows, in one
    // transaction: the store makes the file, the rows go in as the store writes them.
    void seed(const std::vector<Unit>& units, bool faultsTable) {
        {
            RecordStore store(path());
            ASSERT_TRUE(store.open("logs"));
        }
        SqliteDb db;
        db.open(path());
        db.execute("BEGIN TRANSACTION;");
        for (const Unit& u : units)
            db.execute(InsertSql("logs"), InsertParams(u.record, u.at));
        // The store made the faults table beside logs; a file it could not upgrade (read-only, written
        // by an older tool) has none.
        if (!faultsTable)
            db.execute("DROP TABLE IF EXISTS faults;");
        if (faultsTable) {
            for (const char* sql : kFaultsDdl)
                db.execute(sql);
            for (std::size_t i = 0; i < units.size(); ++i)
                for (int item : units[i].faultItems)
                    db.execute("INSERT INTO faults (LogId, Item, Fault) VALUES (?, ?, ?)",
                               {static_cast<std::int64_t>(i + 1), static_cast<std::int64_t>(item), std::string("故障")});
        }
        db.execute("COMMIT TRANSACTION;");
    }
    std::string path() const { return dir.file("orvalog.db"); }

    test::TempProgramDir dir{"recordstats"};
    test::RecordingNotifier notes;
};

struct StatsCase {
    const char* what;
    bool seeded;
    bool faultsTable;
    LogFilter filter;
};

TEST_F(RecordStatsTest, FiguresMatchTheStoredRows) {
    const LogDate d1{2026, 3, 1}, d2{2026, 3, 2}, d4{2026, 3, 4}, d9{2026, 3, 9};
    const std::vector<StatsCase> cases = {
        {"empty store", false, true, {"", "", "", d1, d9}},
        {"empty store without faults", false, false, {"", "", "", d1, d9}},
        {"every day", true, true, {"", "", "", d1, d4}},
        {"two days", true, true, {"", "", "", d1, d2}},
        {"one model", true, true, {"", "KT593G", "", d9, d9}},
        {"operator with a quote", true, true, {"", "", "O'Neil", d9, d9}},
        {"one serial", true, true, {"SN7", "", "", d9, d9}},
        {"filter that matches nothing", true, true, {"NONE", "", "", d1, d9}},
        {"days without records", true, true, {"", "", "", d9, d9}},
        {"start after end", true, true, {"", "", "", d4, d1}},
        {"file without the faults table", true, false, {"", "", "", d1, d4}},
        {"one model, no faults table", true, false, {"", "KT310", "", d9, d9}},
    };
    const std::vector<Unit> units = SeedUnits();
    const std::vector<StatsItem> items = CheckStatsItems();
    ASSERT_EQ(items.size(), static_cast<std::size_t>(kCheckItemCount));
    for (const StatsCase& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove(path());
        seed(c.seeded ? units : std::vector<Unit>{}, c.faultsTable);
        RecordStats got;
        if (c.faultsTable) {
            RecordStore store(path());
            ASSERT_TRUE(store.open("logs"));
            ASSERT_TRUE(store.statistics(c.filter, items, got)) << store.lastError();
        } else {
            // The store would give the file its faults table on open; a file it cannot write keeps
            // none, and its figures are read as they are.
            SqliteDb raw;
            raw.open(path());
            got = ComputeRecordStats(raw, c.filter, items);
        }
        ExpectSame(got, Expected(c.seeded ? units : std::vector<Unit>{}, c.filter, items, c.faultsTable));
        // Figuring never adds the faults table to a file that lacks it.
        SqliteDb db;
        db.open(path());
        EXPECT_EQ(db.hasTable("faults"), c.faultsTable);
    }
    // The seed reaches what the cases mean to cover.
    const RecordStats all = Expected(units, {"", "", "", d1, d4}, items, true);
    EXPECT_EQ(all.units, 90);
    EXPECT_GT(all.faultless, 0);
    EXPECT_LT(all.faultless, all.units);
    EXPECT_EQ(all.models.size(), 3u);
    EXPECT_EQ(all.days.size(), 4u);
    EXPECT_GT(all.items[10].failed, 0);                    // item 11: faults only
    EXPECT_EQ(all.items[19].tested, all.items[19].failed); // item 20: tested only when it failed
    EXPECT_LT(all.items[0].tested, all.units);             // item 1: some untested
}

TEST_F(RecordStatsTest, TheFieldsOfTheCheckTable) {
    const std::vector<StatsItem> items = CheckStatsItems();
    ASSERT_EQ(items.size(), static_cast<std::size_t>(kCheckItemCount));
    EXPECT_EQ(items[0].number, 1);
    EXPECT_EQ(items[0].name, "第一个LAN1口测试");
    EXPECT_EQ(items[0].fields, std::vector<std::string>{"FE1Check"});
    EXPECT_EQ(items[10].fields, std::vector<std::string>{});
    EXPECT_EQ(items[18].fields, (std::vector<std::string>{"CPULoadCheck", "MemCheck"}));
    EXPECT_EQ(items[21].number, 22);
}

// A unit whose load was never measured stores 0.000000; one whose result text is NULL (a row an older
// tool wrote) was not tested either.
TEST_F(RecordStatsTest, UntestedValuesOfEachKindOfField) {
    seed({}, true);
    SqliteDb db;
    db.open(path());
    const std::string columns = "Mac, Operator, sn, DeviceType, FE1Check, SoftWareVersionCheck, CPULoadCheck, "
                                "MemCheck, datetime";
    db.execute("INSERT INTO logs (" + columns +
               ") VALUES ('', 'a', 'S1', 'M', NULL, NULL, '0.000000', '0.000000', '2026-03-01 10:00:00')");
    db.execute("INSERT INTO logs (" + columns +
               ") VALUES ('', 'a', 'S2', 'M', '', '', '0.000000', '1.500000', '2026-03-01 10:00:00')");
    db.execute("INSERT INTO logs (" + columns +
               ") VALUES ('', 'a', 'S3', 'M', '0', 'V1', '2.000000', '0.000000', '2026-03-01 10:00:00')");
    db.close();
    const std::vector<StatsItem> items = {{1, "lan", {"FE1Check"}},
                                          {17, "version", {"SoftWareVersionCheck"}},
                                          {19, "load", {"CPULoadCheck", "MemCheck"}},
                                          {70, "beyond the mask", {"FE1Check"}},
                                          {5, "not a column", {"NoSuchColumn", "id", "datetime"}}};
    RecordStore store(path());
    ASSERT_TRUE(store.open("logs"));
    RecordStats got;
    ASSERT_TRUE(store.statistics({"", "", "", {2026, 3, 1}, {2026, 3, 1}}, items, got)) << store.lastError();
    ASSERT_EQ(got.items.size(), items.size());
    EXPECT_EQ(got.items[0].tested, 1);
    EXPECT_EQ(got.items[1].tested, 1);
    EXPECT_EQ(got.items[2].tested, 2);
    EXPECT_EQ(got.items[3].tested, 1);
    EXPECT_EQ(got.items[4].tested, 0);
    EXPECT_EQ(got.units, 3);
    EXPECT_EQ(got.faultless, 3);
}

TEST_F(RecordStatsTest, AClosedStoreGivesNoFigures) {
    RecordStore store(path());
    RecordStats got;
    got.units = 7;
    EXPECT_FALSE(store.statistics({}, CheckStatsItems(), got));
    EXPECT_EQ(got.units, 7);
    EXPECT_FALSE(store.lastError().empty());
    EXPECT_TRUE(notes.messages().empty());
}

// Every figure reads logs through the search's index and finds a unit's fault rows through
// faults_LogId, never by reading a whole table.
TEST_F(RecordStatsTest, EachFigureUsesTheIndexes) {
    seed(SeedUnits(), true);
    SqliteDb db;
    db.open(path());
    auto plan = [&](const std::string& sql, const SqliteParams& params) {
        std::string text;
        for (SqliteQuery q = db.query("EXPLAIN QUERY PLAN " + sql, params); !q.atEnd(); q.nextRow())
            text += q.columnText(3) + "\n";
        return text;
    };
    struct FilterIndex {
        LogFilter filter;
        const char* index;
    };
    const std::vector<StatsItem> items = CheckStatsItems();
    for (const FilterIndex& f : {FilterIndex{{"", "", "", {2026, 3, 1}, {2026, 3, 2}}, "logs_datetime"},
                                 FilterIndex{{"SN1", "", "", {}, {}}, "logs_sn"},
                                 FilterIndex{{"", "KT310", "", {}, {}}, "logs_DeviceType"},
                                 FilterIndex{{"", "", "bob", {}, {}}, "logs_Operator"}}) {
        SCOPED_TRACE(f.index);
        const LogCondition c = BuildLogCondition(f.filter);
        const std::vector<std::pair<std::string, std::string>> plans = {
            {"summary", plan(StatsSummarySql(c, true), c.params)},
            {"items", plan(StatsItemsSql(c, items, true), StatsItemsParams(c, true))},
            {"models", plan(StatsModelsSql(c, true), c.params)},
            {"days", plan(StatsDaysSql(c), c.params)},
        };
        for (const auto& [figure, text] : plans) {
            EXPECT_NE(text.find(f.index), std::string::npos) << figure << "\n" << text;
            EXPECT_EQ(text.find("SCAN logs"), std::string::npos) << figure << "\n" << text;
            EXPECT_EQ(text.find("SCAN faults"), std::string::npos) << figure << "\n" << text;
            if (figure != "days") {
                EXPECT_NE(text.find("faults_LogId"), std::string::npos) << figure << "\n" << text;
            }
        }
    }
}

TEST_F(RecordStatsTest, RateTexts) {
    struct Case {
        std::optional<double> rate;
        const char* text;
    };
    for (const Case& c : {Case{std::nullopt, ""}, Case{0.0, "0.0"}, Case{1.0, "100.0"}, Case{1.0 / 3, "33.3"},
                          Case{2.0 / 3, "66.7"}, Case{0.0005, "0.1"}, Case{0.12345, "12.3"}})
        EXPECT_EQ(RateText(c.rate), c.text) << c.text;
}

TEST_F(RecordStatsTest, CsvInBothLanguages) {
    RecordStats s;
    s.units = 4;
    s.faultless = 3;
    s.items = {{1, "LAN1, \"first\"", 4, 1}, {20, "=HYPERLINK(\"x\")", 0, 0}};
    s.models = {{"KT540G", 3, 1}, {"", 1, 0}};
    s.days = {{"2026-03-01", 4}};
    const std::string bom = "\xEF\xBB\xBF";
    EXPECT_EQ(StatsCsv(s), bom +
                               "概况\r\n记录数,无故障记录数\r\n4,3\r\n"
                               "\r\n各检测项失败率(%)\r\n序号,检测项,检测数,失败数,失败率(%)\r\n"
                               "1,\"LAN1, \"\"first\"\"\",4,1,25.0\r\n"
                               "20,\"'=HYPERLINK(\"\"x\"\")\",0,0,\r\n"
                               "\r\n各设备类型故障率(%)\r\n设备类型,记录数,有故障数,失败率(%)\r\n"
                               "KT540G,3,1,33.3\r\n,1,0,0.0\r\n"
                               "\r\n每日记录数\r\n日期,记录数\r\n2026-03-01,4\r\n");
    SelectLanguage("English");
    const std::string english = StatsCsv(s);
    EXPECT_EQ(english.rfind(bom + "Summary\r\nUnits,Units with no fault\r\n4,3\r\n", 0), 0u) << english;
    EXPECT_NE(english.find("No.,Check item,Tested,Failed,Failure rate (%)\r\n"), std::string::npos) << english;
    EXPECT_NE(english.find("Model,Units,With a fault,Failure rate (%)\r\n"), std::string::npos) << english;
    EXPECT_NE(english.find("Day,Units\r\n2026-03-01,4\r\n"), std::string::npos) << english;
}

TEST_F(RecordStatsTest, FillTextReplacesInTurn) {
    EXPECT_EQ(FillText("a %s b %s c", {"1", "%s"}), "a 1 b %s c");
    EXPECT_EQ(FillText("none", {"x"}), "none");
    EXPECT_EQ(FillText("%s %s", {"only"}), "only %s");
}

} // namespace
} // namespace orva

// orva-cli stats as a script runs it: the figures of a search as one JSON object and as text, and the
// filter values it refuses.
#include "CliRunner.h"

#include "core/records/RecordSchema.h"
#include "core/records/RecordStore.h"

#include "TestSubnets.h"
#include "TestSupport.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace orva::test {
namespace {

// Nothing is sent; the subnet keeps the settings file apart from other suites'.
constexpr int kStatsSubnet = orva::test::subnets::cli::kStats;

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

class StatsCliTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir.writeSettings(kStatsSubnet);
        {
            RecordStore store(dir.file("orvalog.db"));
            ASSERT_TRUE(store.open("logs"));
        }
        SqliteDb db;
        db.open(dir.file("orvalog.db"));
        db.execute("CREATE TABLE IF NOT EXISTS [faults] ([id] INTEGER PRIMARY KEY AUTOINCREMENT, [LogId] INTEGER NOT "
                   "NULL, [Item] INTEGER NOT NULL, [Fault] TEXT NOT NULL);");
        db.execute("CREATE INDEX IF NOT EXISTS [faults_LogId] ON [faults] ([LogId]);");
        db.execute("CREATE INDEX IF NOT EXISTS [faults_Item] ON [faults] ([Item]);");
        add(db, "SN-A", "KT540G", CheckPassed, "2026-03-01 10:00:00");
        add(db, "SN-B", "KT593G", CheckFailed, "2026-03-02 11:00:00");
        add(db, "SN-C", "KT540G", CheckNotTested, "2026-03-02 12:00:00");
        add(db, "SN-D", "KT540G", CheckPassed, "2026-03-09 12:00:00");
        // SN-B failed LAN1 and the telephone loop (an item no field records); SN-C's wifi failed twice.
        db.execute("INSERT INTO faults (LogId, Item, Fault) VALUES (2, 1, 'LAN1'), (2, 11, 'loop'), (3, 16, 'wifi'), "
                   "(3, 16, 'wifi')");
    }
    static void add(SqliteDb& db, const std::string& sn, const std::string& type, int fe1, const std::string& at) {
        DiagRecord r;
        r.sn = sn;
        r.DeviceType = type;
        r.Operator = "tech01";
        r.FE1Check = fe1;
        r.WifiCheck = CheckPassed;
        db.execute(InsertSql("logs"), InsertParams(r, at));
    }
    std::vector<std::string> command(const std::vector<std::string>& words) const {
        std::vector<std::string> args = {"--dir", dir.path(), "--user", "tech01", "--password", "pw"};
        args.insert(args.end(), words.begin(), words.end());
        return args;
    }

    TempProgramDir dir{"orva-cli-stats"};
};

TEST_F(StatsCliTest, JsonHoldsTheFiguresOfTheSearch) {
    const CliOutcome r = RunCli(command({"stats", "--json", "--from", "2026-03-01", "--to", "2026-03-02"}));
    ASSERT_EQ(r.code, 0) << r.out << r.err;
    const auto doc = nlohmann::json::parse(r.out, nullptr, false);
    ASSERT_TRUE(doc.is_object()) << r.out;
    EXPECT_EQ(doc["units"], 3);
    EXPECT_EQ(doc["faultless"], 1);
    ASSERT_EQ(doc["items"].size(), 22u);
    const auto& lan1 = doc["items"][0];
    EXPECT_EQ(lan1["item"], 1);
    EXPECT_EQ(lan1["name"], "第一个LAN1口测试");
    EXPECT_EQ(lan1["tested"], 2);
    EXPECT_EQ(lan1["failed"], 1);
    EXPECT_DOUBLE_EQ(lan1["rate"].get<double>(), 0.5);
    const auto& loop = doc["items"][10];
    EXPECT_EQ(loop["tested"], 1);
    EXPECT_EQ(loop["failed"], 1);
    const auto& wifi = doc["items"][15];
    EXPECT_EQ(wifi["tested"], 3);
    EXPECT_EQ(wifi["failed"], 1); // two rows, one unit
    EXPECT_TRUE(doc["items"][1]["rate"].is_null()); // LAN2: nobody tested it
    EXPECT_EQ(doc["models"], nlohmann::json::parse(R"([
        {"model": "KT540G", "units": 2, "withFault": 1, "rate": 0.5},
        {"model": "KT593G", "units": 1, "withFault": 1, "rate": 1.0}])"));
    EXPECT_EQ(doc["days"], nlohmann::json::parse(R"([
        {"day": "2026-03-01", "units": 1}, {"day": "2026-03-02", "units": 2}])"));

    // The other filters, and one that finds nothing.
    struct Case {
        std::vector<std::string> filter;
        int units;
    };
    for (const Case& c : {Case{{"--device-type", "KT540G"}, 3}, Case{{"--sn", "SN-D"}, 1},
                          Case{{"--operator", "tech01"}, 4}, Case{{"--sn", "NONE"}, 0},
                          Case{{"--from", "2024-02-29", "--to", "2026-03-09"}, 4}}) {
        SCOPED_TRACE(c.filter.back());
        std::vector<std::string> words = {"stats", "--json"};
        words.insert(words.end(), c.filter.begin(), c.filter.end());
        const CliOutcome o = RunCli(command(words));
        ASSERT_EQ(o.code, 0) << o.err;
        const auto found = nlohmann::json::parse(o.out, nullptr, false);
        ASSERT_TRUE(found.is_object()) << o.out;
        EXPECT_EQ(found["units"], c.units);
        EXPECT_EQ(found["items"].size(), 22u);
    }
}

TEST_F(StatsCliTest, TextShowsTheSameTables) {
    const CliOutcome r = RunCli(command({"stats", "--device-type", "KT593G"}));
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out.rfind("概况\n记录数\t无故障记录数\n1\t0\n\n各检测项失败率(%)\n序号\t检测项\t检测数\t失败数\t失败率(%)\n"
                          "1\t第一个LAN1口测试\t1\t1\t100.0\n",
                          0),
              0u)
        << r.out;
    EXPECT_TRUE(Contains(r.out, "\n各设备类型故障率(%)\n设备类型\t记录数\t有故障数\t失败率(%)\nKT593G\t1\t1\t100.0\n")) << r.out;
    EXPECT_TRUE(Contains(r.out, "\n每日记录数\n日期\t记录数\n2026-03-02\t1\n")) << r.out;

    const CliOutcome none = RunCli(command({"stats", "--sn", "NONE"}));
    EXPECT_EQ(none.code, 0);
    EXPECT_TRUE(Contains(none.err, "no records")) << none.err;
}

TEST_F(StatsCliTest, BadFilterValuesAreRefusedClearly) {
    struct Case {
        std::vector<std::string> words;
        std::string said;
    };
    const std::vector<Case> cases = {
        {{"stats", "--from", "2026-3-1"}, "--from: '2026-3-1' is no date written YYYY-MM-DD"},
        {{"stats", "--to", "2026-02-30"}, "--to: '2026-02-30' is no date written YYYY-MM-DD"},
        {{"stats", "--from", "2025-02-29"}, "--from: '2025-02-29' is no date written YYYY-MM-DD"},
        {{"stats", "--from", "2026-04-31"}, "--from: '2026-04-31' is no date written YYYY-MM-DD"},
        {{"stats", "--sn", "X", "--operator", "Y"}, "--sn and --operator cannot be combined"},
        {{"stats", "--device-type", "KT540G", "--from", "2026-01-01"}, "--device-type and --from cannot be combined"},
        {{"stats", "--sn"}, "--sn"},
        {{"stats", "--xls", "a.xls"}, "--xls"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.said);
        const CliOutcome o = RunCli(command(c.words));
        EXPECT_EQ(o.code, 64) << o.out << o.err;
        EXPECT_TRUE(Contains(o.err, c.said)) << o.err;
        EXPECT_EQ(o.out, "");
    }
}

} // namespace
} // namespace orva::test

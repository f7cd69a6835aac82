#include "core/records/LogQuery.h"
#include "core/records/RecordStore.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

namespace orva {
namespace {

// Rows stored at chosen times around the day 2024-05-10.
class LogQueryTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(store.open("logs"));
        add("2024-05-09 23:59:59", "SN1", "TypeA", "alice"); // id 1
        add("2024-05-10 00:00:00", "SN2", "TypeA", "bob");   // id 2
        add("2024-05-10 12:30:00", "SN1", "TypeB", "bob");   // id 3
        add("2024-05-10 23:59:59", "SN3", "TypeB", "alice"); // id 4
        add("2024-05-11 00:00:00", "SN4", "TypeC", "carol"); // id 5
    }
    void add(const std::string& at, const std::string& sn, const std::string& type, const std::string& op) {
        DiagRecord r;
        r.sn = sn;
        r.DeviceType = type;
        r.Operator = op;
        ASSERT_EQ(store.insert("logs", {r}, at), RecordStore::Stored);
    }
    std::vector<int> ids(const LogFilter& filter) {
        std::vector<int> out;
        for (const RowTexts& row : store.queryLogs(filter).rows)
            out.push_back(RecordFromRow(row).id);
        return out;
    }

    test::TempProgramDir dir{"logquery"};
    test::RecordingNotifier notes;
    RecordStore store{dir.file("orvalog.db")};
};

struct FilterCase {
    const char* what;
    LogFilter filter;
    std::vector<int> ids; // newest first
};

TEST_F(LogQueryTest, FilterPrecedenceAndDateBounds) {
    const LogDate d9{2024, 5, 9}, d10{2024, 5, 10}, d11{2024, 5, 11}, d12{2024, 5, 12};
    const std::vector<FilterCase> cases = {
        {"serial wins over everything", {"SN1", "TypeC", "carol", d11, d11}, {3, 1}},
        {"device type wins over operator", {"", "TypeA", "alice", d11, d11}, {2, 1}},
        {"operator alone", {"", "", "bob", d9, d9}, {3, 2}},
        {"one day includes both ends", {"", "", "", d10, d10}, {4, 3, 2}},
        {"two days", {"", "", "", d10, d11}, {5, 4, 3, 2}},
        {"whole range", {"", "", "", d9, d12}, {5, 4, 3, 2, 1}},
        {"start after end", {"", "", "", d11, d10}, {}},
        {"day without rows", {"", "", "", d12, d12}, {}},
        {"serial without rows", {"SN9", "", "", d10, d10}, {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ids(c.filter), c.ids) << c.what;
}

TEST_F(LogQueryTest, VisitorGetsNamesAndCanStop) {
    int calls = 0;
    EXPECT_TRUE(store.queryLogs(LogFilter{.operatorName = "alice"},
                                [&](const std::vector<std::string>& names, const RowTexts& texts) {
                                    EXPECT_EQ(names.front(), "id");
                                    EXPECT_EQ(names.back(), "datetime");
                                    EXPECT_EQ(texts.size(), 23u);
                                    ++calls;
                                    return 1;
                                }));
    EXPECT_EQ(calls, 1);
}

TEST(LogQueryText, ConditionsBindTheirValues) {
    const LogCondition c = BuildLogCondition({.serial = "a'b"});
    EXPECT_EQ(c.where, "sn = ?");
    EXPECT_EQ(c.params, SqliteParams{std::string("a'b")});
    const LogCondition range = BuildLogCondition({.from = {2024, 1, 2}, .to = {2024, 12, 31}});
    EXPECT_EQ(range.where, "datetime >= ? AND datetime <= ?");
    EXPECT_EQ(range.params, (SqliteParams{std::string("2024-01-02 00:00:00"), std::string("2024-12-31 23:59:59")}));
}

TEST(LogQueryText, CellsAndTitles) {
    const std::vector<std::pair<std::string, std::string>> cells = {
        {"0", "失败"}, {"1", "成功"}, {"9", "未检测"}, {"0.000000", "0.000000"}, {"", ""}, {"10", "10"}};
    for (const auto& [stored, shown] : cells)
        EXPECT_EQ(LogCellText(stored), shown) << stored;
    EXPECT_EQ(LogColumnTitle("id"), "ID");
    EXPECT_EQ(LogColumnTitle("PONCheck"), "上行链路测试");
    EXPECT_EQ(LogColumnTitle("datetime"), "日期");
    EXPECT_EQ(LogColumnTitle("nothing"), "");
}

} // namespace
} // namespace orva

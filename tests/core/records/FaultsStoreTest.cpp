// The faults kept beside each logs row: written in the transaction of their row, never into uploads,
// read back per record and per search, bounded whatever the file holds.
#include "core/records/RecordSchema.h"
#include "core/records/RecordStore.h"
#include "core/records/SqliteDb.h"

#include "StoreFileFixture.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

namespace orva {
namespace {

DiagRecord FaultyRecord(const std::string& sn, std::vector<RecordFault> faults = {}, const std::string& op = "tech") {
    DiagRecord r;
    r.sn = sn;
    r.Operator = op;
    r.DeviceType = "KT540G";
    r.Mac = "00-11-22-33-44-55";
    r.faults = std::move(faults);
    return r;
}

const std::vector<RecordFault> kLedAndFlash = {{14, "LED 不正常"}, {13, "Flash 不正常"}};

class FaultsStoreTest : public test::StoreFileFixture {
protected:
    FaultsStoreTest() : StoreFileFixture("records-faults") {}
    void refuseFaults() {
        ASSERT_NO_THROW(
            raw().execute("CREATE TRIGGER refuse BEFORE INSERT ON faults BEGIN SELECT RAISE(ABORT, 'no faults'); END"));
    }
};

TEST_F(FaultsStoreTest, EachWayOfStoringKeepsTheFaultsOfLogsRowsOnly) {
    ASSERT_TRUE(store.open(std::vector<std::string>{"uploads", "logs"}));
    ASSERT_EQ(store.insert("logs", {FaultyRecord("A", kLedAndFlash), FaultyRecord("B")}, "2026-03-01 10:00:00"),
              RecordStore::Stored);
    ASSERT_EQ(store.insert("uploads", {FaultyRecord("U", kLedAndFlash)}), RecordStore::Stored);
    const RecordStore::FinishedResult finished = store.insertFinished({FaultyRecord("C", {{2, "FE2 不正常"}})}, true);
    ASSERT_EQ(finished.logs, RecordStore::Stored);
    ASSERT_EQ(finished.uploads, RecordStore::Stored);

    // Ids: A=1, B=2, C=3 in logs; the uploads rows have none of theirs.
    EXPECT_EQ(column("SELECT LogId || ':' || Item || ':' || Fault FROM faults ORDER BY id"),
              (std::vector<std::string>{"1:14:LED 不正常", "1:13:Flash 不正常", "3:2:FE2 不正常"}));
    struct Case {
        int logId;
        std::vector<RecordFault> faults;
    };
    for (const Case& c : {Case{1, kLedAndFlash}, Case{2, {}}, Case{3, {{2, "FE2 不正常"}}}, Case{99, {}}}) {
        SCOPED_TRACE(c.logId);
        const auto faults = store.faultsOfLog(c.logId);
        ASSERT_TRUE(faults.has_value()) << store.lastError();
        EXPECT_EQ(*faults, c.faults);
    }
    // The record read from its row alone has no faults; the report document is made from that.
    EXPECT_TRUE(store.logsAfter(0)[0].record.faults.empty());
    EXPECT_TRUE(notes.messages().empty());
}

TEST_F(FaultsStoreTest, SearchFaultsFollowTheFilterNewestLogFirst) {
    ASSERT_TRUE(store.open("logs"));
    ASSERT_EQ(store.insert("logs", {FaultyRecord("A", kLedAndFlash, "ann")}, "2026-03-01 10:00:00"),
              RecordStore::Stored);
    ASSERT_EQ(store.insert("logs", {FaultyRecord("B", {{1, "FE1 不正常"}}, "bob")}, "2026-03-02 10:00:00"),
              RecordStore::Stored);
    ASSERT_EQ(store.insert("logs", {FaultyRecord("C", {{22, "磁盘检查 不正常"}}, "ann")}, "2026-03-03 10:00:00"),
              RecordStore::Stored);
    struct Case {
        const char* name;
        LogFilter filter;
        int limit;
        std::vector<LogFault> faults;
    };
    const LogFault a14{1, kLedAndFlash[0]}, a13{1, kLedAndFlash[1]}, b1{2, {1, "FE1 不正常"}},
        c22{3, {22, "磁盘检查 不正常"}};
    const std::vector<Case> cases = {
        {"Operator", {.operatorName = "ann"}, RecordStore::MaxFaultRows, {c22, a14, a13}},
        {"Days", {.from = {2026, 3, 1}, .to = {2026, 3, 2}}, RecordStore::MaxFaultRows, {b1, a14, a13}},
        {"Serial", {.serial = "B"}, RecordStore::MaxFaultRows, {b1}},
        {"NoMatch", {.serial = "Z"}, RecordStore::MaxFaultRows, {}},
        {"Limited", {.operatorName = "ann"}, 2, {c22, a14}},
        {"NegativeLimit", {.operatorName = "ann"}, -5, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto faults = store.faultsOfLogs(c.filter, c.limit);
        ASSERT_TRUE(faults.has_value()) << store.lastError();
        EXPECT_EQ(*faults, c.faults);
    }
}

// A file written by something else: a huge fault text, hundreds of faults for one record, an item
// number outside the table, NULL-free but odd values. The reads stay within their bounds.
TEST_F(FaultsStoreTest, ReadsAreBoundedWhateverTheFileHolds) {
    ASSERT_TRUE(store.open("logs"));
    ASSERT_EQ(store.insert("logs", {FaultyRecord("A")}), RecordStore::Stored);
    ASSERT_NO_THROW(
        raw().execute("INSERT INTO faults (LogId, Item, Fault) VALUES (1, 999, ?)", {std::string(100000, 'x')}));
    ASSERT_NO_THROW(raw().execute("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 500) "
                                  "INSERT INTO faults (LogId, Item, Fault) SELECT 1, i, 'f' || i FROM n"));
    const auto faults = store.faultsOfLog(1);
    ASSERT_TRUE(faults.has_value());
    ASSERT_EQ(faults->size(), static_cast<std::size_t>(RecordStore::MaxFaultsPerLog));
    EXPECT_EQ(faults->front().item, 999);
    EXPECT_EQ(faults->front().text, std::string(RecordStore::MaxFaultChars, 'x'));
    EXPECT_EQ(faults->back().text, "f" + std::to_string(RecordStore::MaxFaultsPerLog - 1));
    // A search's faults are cut per log the same way, and then to the limit.
    const auto all = store.faultsOfLogs({.serial = "A"}, 100);
    ASSERT_TRUE(all.has_value());
    ASSERT_EQ(all->size(), static_cast<std::size_t>(RecordStore::MaxFaultsPerLog));
    EXPECT_EQ(all->front().fault.text.size(), static_cast<std::size_t>(RecordStore::MaxFaultChars));
    EXPECT_EQ(all->back().fault.text, faults->back().text);
    const auto ten = store.faultsOfLogs({.serial = "A"}, 10);
    ASSERT_TRUE(ten.has_value());
    EXPECT_EQ(ten->size(), 10u);
}

// A fault that cannot be stored takes its logs row with it: the record is in logs with its faults or
// not at all, whichever way it was stored. uploads, which keeps no faults, is not touched by it.
TEST_F(FaultsStoreTest, AFaultThatCannotBeStoredRollsBackItsLogsRow) {
    ASSERT_TRUE(store.open(std::vector<std::string>{"uploads", "logs"}));
    ASSERT_EQ(store.insert("logs", {FaultyRecord("BEFORE", kLedAndFlash)}), RecordStore::Stored);
    refuseFaults();

    EXPECT_EQ(store.insert("logs", {FaultyRecord("OK"), FaultyRecord("X", kLedAndFlash)}), RecordStore::StoreFailed);
    const RecordStore::FinishedResult finished = store.insertFinished({FaultyRecord("Y", kLedAndFlash)}, true);
    EXPECT_EQ(finished.logs, RecordStore::StoreFailed);
    EXPECT_EQ(finished.uploads, RecordStore::Stored);
    EXPECT_EQ(notes.messages(),
              (std::vector<std::string>{"SQLITE_CONSTRAINT[19]: no faults", "SQLITE_CONSTRAINT[19]: no faults"}));
    EXPECT_EQ(column("SELECT sn FROM logs ORDER BY id"), std::vector<std::string>{"BEFORE"});
    EXPECT_EQ(column("SELECT sn FROM uploads ORDER BY id"), std::vector<std::string>{"Y"});
    EXPECT_EQ(column("SELECT COUNT(*) FROM faults"), std::vector<std::string>{"2"});
    // A record without faults needs no row of faults and is still stored.
    EXPECT_EQ(store.insert("logs", {FaultyRecord("CLEAN")}), RecordStore::Stored);
    store.close();
    // The check before a run stores a fault too, so it finds the refusal before a technician's run.
    EXPECT_FALSE(store.checkWritable());
}

TEST_F(FaultsStoreTest, ClosedStoreAndFileWithoutTheTable) {
    EXPECT_FALSE(store.faultsOfLog(1).has_value());
    EXPECT_FALSE(store.faultsOfLogs({.serial = "A"}).has_value());
    // A file with uploads alone has no faults table (it comes with logs): it reads as no faults.
    ASSERT_TRUE(store.open("uploads"));
    const auto none = store.faultsOfLog(1);
    ASSERT_TRUE(none.has_value());
    EXPECT_TRUE(none->empty());
}

} // namespace
} // namespace orva

#include "core/records/RecordStore.h"
#include "core/app/ProgramDirectory.h"
#include "core/records/SqliteDb.h"

#include "StoreFileFixture.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

namespace orva {
namespace {

const std::string kLogsSql =
    "CREATE TABLE [logs] ([id] INTEGER PRIMARY KEY AUTOINCREMENT UNIQUE, [Mac] VARCHAR (64),[Operator] VARCHAR (128), "
    "[sn] VARCHAR (128), [DeviceType] VARCHAR (128), [FE1Check] VARCHAR (64), [FE2Check] VARCHAR (64), [FE3Check] "
    "VARCHAR (64), [FE4Check] VARCHAR (64), [POS1Check] VARCHAR (64), [POS2Check] VARCHAR (64), [PONCheck] VARCHAR "
    "(64), [FlashCheck] VARCHAR (64), [LEDCheck] VARCHAR (64), [USBCheck] VARCHAR (64), [WifiCheck] VARCHAR (64), "
    "[SoftWareVersionCheck] VARCHAR (64), [PSCheck] VARCHAR (64), [CPULoadCheck] VARCHAR (64), [MemCheck] VARCHAR "
    "(64), [PreConfigCheck] VARCHAR (64), [DiskIntegrityCheck] VARCHAR (64), [datetime] VARCHAR (64))";

std::string UploadsSql() {
    return std::regex_replace(kLogsSql, std::regex("\\[logs\\]"), "[uploads]");
}

DiagRecord Record(const std::string& sn, const std::string& op = "tech", const std::string& type = "HG8245") {
    DiagRecord r;
    r.sn = sn;
    r.Operator = op;
    r.DeviceType = type;
    r.Mac = "00-11-22-33-44-55";
    return r;
}

class RecordStoreTest : public test::StoreFileFixture {
protected:
    RecordStoreTest() : StoreFileFixture("records") {}
};

TEST_F(RecordStoreTest, FirstOpenCreatesFileWithUtf16AndOnlyThatTable) {
    ASSERT_FALSE(test::fileExists(dbPath()));
    ASSERT_TRUE(store.open("logs"));
    EXPECT_TRUE(store.isOpen());
    EXPECT_TRUE(test::fileExists(dbPath()));
    EXPECT_EQ(column("PRAGMA encoding"), std::vector<std::string>{"UTF-16le"});
    EXPECT_EQ(column("SELECT sql FROM sqlite_master WHERE type='table' AND name='logs'"),
              std::vector<std::string>{kLogsSql});
    EXPECT_TRUE(column("SELECT name FROM sqlite_master WHERE name='uploads'").empty());
    store.close();
    EXPECT_FALSE(store.isOpen());

    ASSERT_TRUE(store.open("uploads"));
    ASSERT_TRUE(store.open("logs")); // again: nothing is created twice, nothing fails
    ASSERT_TRUE(store.open("uploads"));
    EXPECT_EQ(column("SELECT sql FROM sqlite_master WHERE type='table' AND name='uploads'"),
              std::vector<std::string>{UploadsSql()});
    EXPECT_EQ(column("SELECT name FROM sqlite_master WHERE type='table' ORDER BY name"),
              (std::vector<std::string>{"faults", "logs", "sqlite_sequence", "uploads"}));
    EXPECT_TRUE(notes.messages().empty());
}

TEST_F(RecordStoreTest, RecordRoundTripsWithEveryField) {
    DiagRecord r;
    r.Operator = "op1";
    r.Mac = "AA-BB-CC-DD-EE-FF";
    r.sn = "SN-0001";
    r.DeviceType = "HG8120C";
    r.FE1Check = 1, r.FE2Check = 0, r.FE3Check = 1, r.FE4Check = 0, r.POS1Check = 1, r.POS2Check = 0;
    r.PONCheck = 1, r.FlashCheck = 0, r.LEDCheck = 1, r.USBCheck = 0; // WifiCheck never run: 9
    r.SoftWareVersionCheck = "V3.1.0";
    r.PSCheck = "all running";
    r.CPULoadCheck = 12.5f;
    r.MemCheck = 0.25f;
    r.PreConfigCheck = 1;
    r.DiskIntegrityCheck = 0;
    r.LOIDCheck = "not stored";
    ASSERT_TRUE(store.open("logs"));
    const std::string before = RecordStore::NowText();
    ASSERT_EQ(store.insert("logs", {r}), RecordStore::Stored);
    const std::string after = RecordStore::NowText();

    const RecordRows rows = store.queryLogs(LogFilter{.serial = "SN-0001"});
    ASSERT_EQ(rows.rows.size(), 1u);
    ASSERT_EQ(rows.columns.size(), 23u);
    for (int i = 0; i < RecordColumnCount; ++i)
        EXPECT_EQ(rows.columns[static_cast<std::size_t>(i)], RecordColumnNames()[static_cast<std::size_t>(i)]);
    std::vector<std::string> texts;
    for (const auto& t : rows.rows[0])
        texts.push_back(t.value_or("<NULL>"));
    const std::vector<std::string> expected = {"1",         "AA-BB-CC-DD-EE-FF",
                                               "op1",       "SN-0001",
                                               "HG8120C",   "1",
                                               "0",         "1",
                                               "0",         "1",
                                               "0",         "1",
                                               "0",         "1",
                                               "0",         "9",
                                               "V3.1.0",    "all running",
                                               "12.500000", "0.250000",
                                               "1",         "0",
                                               texts[22]};
    EXPECT_EQ(texts, expected);
    EXPECT_TRUE(std::regex_match(texts[22], std::regex(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d)"))) << texts[22];
    EXPECT_GE(texts[22], before);
    EXPECT_LE(texts[22], after);

    const StoredRecord back = RecordFromRow(rows.rows[0]);
    r.LOIDCheck.clear();
    EXPECT_EQ(back.record, r);
    EXPECT_EQ(back.id, 1);
    // Every value is stored as text.
    EXPECT_EQ(column("SELECT count(*) FROM logs WHERE typeof(FE1Check) = 'text' AND typeof(CPULoadCheck) = 'text'"),
              std::vector<std::string>{"1"});
}

TEST_F(RecordStoreTest, TextsWithQuotesAndChineseAreStoredAndFound) {
    ASSERT_TRUE(store.open("logs"));
    DiagRecord quoted = Record("SN'1", "O'Neil", "HG'8");
    DiagRecord chinese = Record("序列号一", "张三😀", "光猫"); // a character beyond the BMP too
    chinese.PSCheck = "关键进程正常";
    chinese.SoftWareVersionCheck = "版本 V1";
    ASSERT_EQ(store.insert("logs", {quoted, chinese}), RecordStore::Stored);

    struct Case {
        LogFilter filter;
        std::string expectSn;
    };
    const std::vector<Case> cases = {
        {{.operatorName = "O'Neil"}, "SN'1"},    {{.serial = "SN'1"}, "SN'1"},         {{.deviceType = "HG'8"}, "SN'1"},
        {{.operatorName = "张三😀"}, "序列号一"}, {{.serial = "序列号一"}, "序列号一"},
    };
    for (const auto& c : cases) {
        const RecordRows rows = store.queryLogs(c.filter);
        ASSERT_EQ(rows.rows.size(), 1u) << c.expectSn;
        EXPECT_EQ(RecordFromRow(rows.rows[0]).record.sn, c.expectSn);
    }
    const StoredRecord back = RecordFromRow(store.queryLogs(LogFilter{.operatorName = "张三😀"}).rows.at(0));
    EXPECT_EQ(back.record, chinese);
    // A quote that only looks like an escape must not widen the search.
    EXPECT_TRUE(store.queryLogs(LogFilter{.serial = "x' OR '1'='1"}).rows.empty());
}

TEST_F(RecordStoreTest, BatchSharesOneDatetimeInListOrder) {
    ASSERT_TRUE(store.open("uploads"));
    ASSERT_EQ(store.insert("uploads", {Record("A"), Record("B")}), RecordStore::Stored);
    const RecordRows rows = store.readUploads();
    ASSERT_EQ(rows.rows.size(), 2u);
    const StoredRecord a = RecordFromRow(rows.rows[0]), b = RecordFromRow(rows.rows[1]);
    EXPECT_EQ(a.record.sn, "A");
    EXPECT_EQ(b.record.sn, "B");
    EXPECT_LT(a.id, b.id);
    EXPECT_EQ(a.datetime, b.datetime);
    EXPECT_FALSE(a.datetime.empty());
}

TEST_F(RecordStoreTest, NothingToStoreWhenClosedOrEmpty) {
    EXPECT_EQ(store.insert("logs", {Record("A")}), RecordStore::NothingToStore);
    ASSERT_TRUE(store.open("logs"));
    EXPECT_EQ(store.insert("logs", {}), RecordStore::NothingToStore);
    EXPECT_EQ(column("SELECT count(*) FROM logs"), std::vector<std::string>{"0"});
    // The empty call left no transaction open: another connection can write at once.
    raw().setBusyWait(0);
    EXPECT_NO_THROW(raw().execute("INSERT INTO logs (sn) VALUES ('outside')"));
}

TEST_F(RecordStoreTest, FailedRowRollsBackTheBatchAndIsReported) {
    ASSERT_TRUE(store.open("logs"));
    ASSERT_NO_THROW(raw().execute("CREATE TRIGGER refuse BEFORE INSERT ON logs WHEN NEW.sn = 'bad' "
                                  "BEGIN SELECT RAISE(ABORT, 'serial refused'); END"));
    EXPECT_EQ(store.insert("logs", {Record("good"), Record("bad"), Record("late")}), RecordStore::StoreFailed);
    EXPECT_EQ(column("SELECT count(*) FROM logs"), std::vector<std::string>{"0"});
    EXPECT_EQ(store.lastError(), "SQLITE_CONSTRAINT[19]: serial refused");
    EXPECT_EQ(notes.messages(), std::vector<std::string>{"SQLITE_CONSTRAINT[19]: serial refused"});

    // The connection is usable again: nothing was left half-done.
    EXPECT_EQ(store.insert("logs", {Record("good")}), RecordStore::Stored);
    EXPECT_EQ(column("SELECT sn FROM logs"), std::vector<std::string>{"good"});
    // A table this connection has not created is a failure too, not a silent success.
    EXPECT_EQ(store.insert("uploads", {Record("x")}), RecordStore::StoreFailed);
    EXPECT_EQ(store.lastError(), "SQLITE_ERROR[1]: no such table: uploads");
}

TEST_F(RecordStoreTest, IdsAreNotReusedAfterDeletingTheHighest) {
    ASSERT_TRUE(store.open("uploads"));
    ASSERT_EQ(store.insert("uploads", {Record("1"), Record("2"), Record("3")}), RecordStore::Stored);
    EXPECT_EQ(store.deleteUpload(3), 1);
    ASSERT_EQ(store.insert("uploads", {Record("4")}), RecordStore::Stored);
    EXPECT_EQ(column("SELECT id FROM uploads ORDER BY id"), (std::vector<std::string>{"1", "2", "4"}));
}

// The check before a run writes a row into each table and takes it back: the file holds what it held,
// the ids go on where they stood, and a table that refuses rows is found before the run.
TEST_F(RecordStoreTest, WritableCheckLeavesNothingBehind) {
    ASSERT_TRUE(store.open(std::vector<std::string>{"uploads", "logs"}));
    ASSERT_EQ(store.insert("logs", {Record("1"), Record("2")}), RecordStore::Stored);
    ASSERT_EQ(store.insert("uploads", {Record("1")}), RecordStore::Stored);
    store.close();

    EXPECT_TRUE(store.checkWritable());
    EXPECT_FALSE(store.isOpen());
    EXPECT_TRUE(notes.messages().empty());
    ASSERT_TRUE(store.open(std::vector<std::string>{"uploads", "logs"}));
    ASSERT_EQ(store.insert("logs", {Record("3")}), RecordStore::Stored);
    ASSERT_EQ(store.insert("uploads", {Record("2")}), RecordStore::Stored);
    EXPECT_EQ(column("SELECT id || sn FROM logs ORDER BY id"), (std::vector<std::string>{"11", "22", "33"}));
    EXPECT_EQ(column("SELECT id || sn FROM uploads ORDER BY id"), (std::vector<std::string>{"11", "22"}));

    ASSERT_NO_THROW(
        raw().execute("CREATE TRIGGER refuse BEFORE INSERT ON uploads BEGIN SELECT RAISE(ABORT, 'full'); END"));
    store.close();
    EXPECT_FALSE(store.checkWritable());
    EXPECT_EQ(notes.messages(), std::vector<std::string>{"SQLITE_CONSTRAINT[19]: full"});
    EXPECT_FALSE(store.isOpen());
}

// A store that holds its messages keeps them for its caller instead of showing them.
TEST_F(RecordStoreTest, HeldMessagesAreKeptForTheCaller) {
    ASSERT_TRUE(store.open("logs"));
    ASSERT_NO_THROW(raw().execute("CREATE TRIGGER refuse BEFORE INSERT ON logs BEGIN SELECT RAISE(ABORT, 'no'); END"));
    store.holdMessages(true);
    EXPECT_EQ(store.insert("logs", {Record("x")}), RecordStore::StoreFailed);
    EXPECT_TRUE(notes.messages().empty());
    EXPECT_EQ(store.takeHeldMessages(), std::vector<std::string>{"SQLITE_CONSTRAINT[19]: no"});
    EXPECT_TRUE(store.takeHeldMessages().empty());
}

TEST_F(RecordStoreTest, UploadPassHoldsNoLockWhileVisiting) {
    ASSERT_TRUE(store.open("uploads"));
    ASSERT_EQ(store.insert("uploads", {Record("1"), Record("2"), Record("3")}), RecordStore::Stored);
    raw().setBusyWait(0);
    std::vector<std::string> seen;
    const int visited = store.forEachUpload([&](const std::vector<std::string>& names, const RowTexts& texts) {
        EXPECT_EQ(names.size(), 23u);
        const StoredRecord r = RecordFromRow(texts);
        seen.push_back(r.record.sn);
        // Another connection writes while the visitor runs (it would be sending over the network).
        EXPECT_NO_THROW(raw().execute("INSERT INTO uploads (sn) VALUES ('meanwhile')"));
        if (r.record.sn != "2") {
            EXPECT_EQ(store.deleteUpload(r.id), 1);
        }
        return r.record.sn == "2" ? 1 : 0; // stop after the second row
    });
    EXPECT_EQ(visited, 2);
    EXPECT_EQ(seen, (std::vector<std::string>{"1", "2"}));
    store.close();
    EXPECT_EQ(column("SELECT sn FROM uploads ORDER BY id"),
              (std::vector<std::string>{"2", "3", "meanwhile", "meanwhile"}));
    EXPECT_EQ(store.deleteUpload(2), 0); // closed
}

TEST_F(RecordStoreTest, SinceStartListsOnlyNewerRecords) {
    ASSERT_TRUE(store.open("logs"));
    EXPECT_EQ(store.highestLogId(), 0);
    ASSERT_EQ(store.insert("logs", {Record("old1"), Record("old2")}), RecordStore::Stored);
    const int atStart = store.highestLogId();
    EXPECT_EQ(atStart, 2);
    ASSERT_EQ(store.insert("logs", {Record("new1")}), RecordStore::Stored);
    ASSERT_EQ(store.insert("logs", {Record("new2")}), RecordStore::Stored);
    const std::vector<StoredRecord> since = store.logsAfter(atStart);
    ASSERT_EQ(since.size(), 2u);
    EXPECT_EQ(since[0].record.sn, "new1");
    EXPECT_EQ(since[1].record.sn, "new2");
    EXPECT_EQ(since[1].id, 4);
}

TEST(RecordStoreDefault, LivesInTheProgramDirectory) {
    test::TempProgramDir dir{"records"};
    SetProgramDirectory(dir.path());
    RecordStore store;
    EXPECT_EQ(store.path(), dir.file("orvalog.db"));
    ASSERT_TRUE(store.open("uploads"));
    EXPECT_TRUE(test::fileExists(dir.file("orvalog.db")));
}

TEST(RecordStorePath, NonAsciiDirectoryIsUsedAsNamed) {
    test::TempProgramDir dir{"records"};
    test::RecordingNotifier notes;
    std::filesystem::create_directories(dir.file("记录 😀"));
    RecordStore store(dir.file("记录 😀/orvalog.db"));
    ASSERT_TRUE(store.open("logs")) << store.lastError();
    EXPECT_TRUE(test::fileExists(dir.file("记录 😀/orvalog.db")));
}

struct OpenFailureCase {
    const char* name;
    // Prepares the directory and returns the database path to open.
    std::string (*prepare)(const test::TempProgramDir&);
    const char* message;
};

class RecordStoreOpenFailure : public ::testing::TestWithParam<OpenFailureCase> {};

TEST_P(RecordStoreOpenFailure, ShowsTheErrorAndStaysClosed) {
    test::TempProgramDir dir{"records"};
    test::RecordingNotifier notes;
    RecordStore store(GetParam().prepare(dir));
    EXPECT_FALSE(store.open("logs"));
    EXPECT_FALSE(store.isOpen());
    EXPECT_EQ(notes.messages(), std::vector<std::string>{GetParam().message});
    EXPECT_EQ(store.lastError(), GetParam().message);
    // Everything later does nothing.
    EXPECT_EQ(store.insert("logs", {Record("A")}), RecordStore::NothingToStore);
    EXPECT_EQ(store.deleteUpload(1), 0);
    EXPECT_TRUE(store.queryLogs(LogFilter{.serial = "A"}).rows.empty());
    EXPECT_EQ(store.forEachUpload([](auto&, auto&) { return 0; }), 0);
    EXPECT_EQ(notes.messages().size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(
    Files, RecordStoreOpenFailure,
    ::testing::Values(OpenFailureCase{"NotADatabase",
                                      [](const test::TempProgramDir& d) {
                                          test::writeFile(d.file("orvalog.db"), std::string(4096, 'x'));
                                          return d.file("orvalog.db");
                                      },
                                      "UNKNOWN_ERROR[26]: file is not a database"},
                      // A path below a regular file cannot be created, whoever runs the test (root included).
                      OpenFailureCase{"DirectoryIsAFile",
                                      [](const test::TempProgramDir& d) {
                                          test::writeFile(d.file("file"), "plain");
                                          return d.file("file/orvalog.db");
                                      },
                                      "SQLITE_CANTOPEN[14]: unable to open database file"}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace orva

// The tables made from the field table: the texts that create, fill and read them, and what opening
// does to a file of an older or a newer version.
#include "core/records/RecordSchema.h"
#include "core/records/RecordFields.h"
#include "core/records/RecordStore.h"
#include "core/records/SqliteDb.h"

#include "StoreFileFixture.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <regex>

namespace orva {
namespace {

// The statements every earlier version created its tables with, character for character.
constexpr const char* kOldCreateLogs =
    "CREATE TABLE [logs] ([id] INTEGER PRIMARY KEY AUTOINCREMENT UNIQUE, [Mac] VARCHAR (64),[Operator] VARCHAR "
    "(128), [sn] VARCHAR (128), [DeviceType] VARCHAR (128), [FE1Check] VARCHAR (64), [FE2Check] VARCHAR (64), "
    "[FE3Check] VARCHAR (64), [FE4Check] VARCHAR (64), [POS1Check] VARCHAR (64), [POS2Check] VARCHAR (64), "
    "[PONCheck] VARCHAR (64), [FlashCheck] VARCHAR (64), [LEDCheck] VARCHAR (64), [USBCheck] VARCHAR (64), "
    "[WifiCheck] VARCHAR (64), [SoftWareVersionCheck] VARCHAR (64), [PSCheck] VARCHAR (64), [CPULoadCheck] "
    "VARCHAR (64), [MemCheck] VARCHAR (64), [PreConfigCheck] VARCHAR (64), [DiskIntegrityCheck] VARCHAR (64), "
    "[datetime] VARCHAR (64));";

constexpr const char* kOldCreateUploads =
    "CREATE TABLE [uploads] ([id] INTEGER PRIMARY KEY AUTOINCREMENT UNIQUE, [Mac] VARCHAR (64),[Operator] VARCHAR "
    "(128), [sn] VARCHAR (128), [DeviceType] VARCHAR (128), [FE1Check] VARCHAR (64), [FE2Check] VARCHAR (64), "
    "[FE3Check] VARCHAR (64), [FE4Check] VARCHAR (64), [POS1Check] VARCHAR (64), [POS2Check] VARCHAR (64), "
    "[PONCheck] VARCHAR (64), [FlashCheck] VARCHAR (64), [LEDCheck] VARCHAR (64), [USBCheck] VARCHAR (64), "
    "[WifiCheck] VARCHAR (64), [SoftWareVersionCheck] VARCHAR (64), [PSCheck] VARCHAR (64), [CPULoadCheck] "
    "VARCHAR (64), [MemCheck] VARCHAR (64), [PreConfigCheck] VARCHAR (64), [DiskIntegrityCheck] VARCHAR (64), "
    "[datetime] VARCHAR (64));";

constexpr const char* kRefusal99 = "SQLITE_WRAPPER_ERROR[1000]: the record file is of version 99, newer than version 2 "
                                   "this tool knows; it is left unchanged for the tool that wrote it";

// A record whose every field differs from every other and from its initial value.
DiagRecord DistinctRecord() {
    DiagRecord r;
    r.Operator = "op'1";
    r.Mac = "AA-BB-CC-DD-EE-FF";
    r.sn = "序列号-7";
    r.DeviceType = "HG8120C";
    r.FE1Check = 1, r.FE2Check = 0, r.FE3Check = 2, r.FE4Check = 3, r.POS1Check = 4, r.POS2Check = 5;
    r.PONCheck = 6, r.FlashCheck = 7, r.LEDCheck = 8, r.USBCheck = 10, r.WifiCheck = 11;
    r.SoftWareVersionCheck = "V3.1.0";
    r.PSCheck = "all running";
    r.CPULoadCheck = 12.5f;
    r.MemCheck = 0.25f;
    r.PreConfigCheck = 12;
    r.DiskIntegrityCheck = 13;
    return r;
}

TEST(RecordSchema, TextsAreMadeFromTheFieldTable) {
    EXPECT_EQ(CreateTableSql("logs"), kOldCreateLogs);
    EXPECT_EQ(CreateTableSql("uploads"), kOldCreateUploads);
    EXPECT_EQ(
        InsertSql("logs"),
        "INSERT INTO logs (Mac, Operator, sn, DeviceType, FE1Check, FE2Check, FE3Check, FE4Check, POS1Check, "
        "POS2Check, PONCheck, FlashCheck, LEDCheck, USBCheck, WifiCheck, SoftWareVersionCheck, PSCheck, "
        "CPULoadCheck, MemCheck, PreConfigCheck, DiskIntegrityCheck, datetime) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, "
        "?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?);");
    EXPECT_EQ(SelectRecordsSql("uploads"),
              "SELECT id, Mac, Operator, sn, DeviceType, FE1Check, FE2Check, FE3Check, FE4Check, POS1Check, POS2Check, "
              "PONCheck, FlashCheck, LEDCheck, USBCheck, WifiCheck, SoftWareVersionCheck, PSCheck, CPULoadCheck, "
              "MemCheck, PreConfigCheck, DiskIntegrityCheck, datetime FROM uploads");

    // The bound values are the record's column texts and then the time it was stored.
    std::vector<SqliteValue> expected;
    for (std::string& text : RecordColumnTexts(DistinctRecord()))
        expected.emplace_back(std::move(text));
    expected.emplace_back(std::string("2026-01-02 03:04:05"));
    EXPECT_EQ(InsertParams(DistinctRecord(), "2026-01-02 03:04:05"), expected);

    ASSERT_EQ(RecordColumnCount, static_cast<int>(RecordFields().size()));
    EXPECT_TRUE(IsKeyField(RecordFields().front()));
    for (const RecordField& field : RecordFields()) {
        EXPECT_EQ(FindRecordField(field.name), &field);
        EXPECT_NE(std::string(field.title), "") << field.name;
        EXPECT_EQ(FieldLabelText(field, "1"), IsKeyField(field) ? "1" : "成功") << field.name;
    }
    EXPECT_EQ(FindRecordField("LOIDCheck"), nullptr);
}

class RecordSchemaFile : public test::StoreFileFixture {
protected:
    RecordSchemaFile() : StoreFileFixture("records-schema") {}
    std::vector<std::string> columnsOf(const std::string& table) {
        return column("SELECT name FROM pragma_table_info(?)", {table});
    }
    int version() { return raw().queryInt("PRAGMA user_version"); }
};

TEST_F(RecordSchemaFile, ANewFileHasTheOldTablesAndTheFirstVersion) {
    ASSERT_TRUE(store.open(std::vector<std::string>{"uploads", "logs"}));
    store.close();
    EXPECT_EQ(version(), RecordSchemaVersion);
    EXPECT_EQ(RecordSchemaVersion, 2);
    const std::string logs = kOldCreateLogs, uploads = kOldCreateUploads;
    // The file keeps the text without its closing semicolon.
    EXPECT_EQ(column("SELECT sql FROM sqlite_master WHERE name = 'logs'"),
              std::vector<std::string>{logs.substr(0, logs.size() - 1)});
    EXPECT_EQ(column("SELECT sql FROM sqlite_master WHERE name = 'uploads'"),
              std::vector<std::string>{uploads.substr(0, uploads.size() - 1)});
    EXPECT_TRUE(notes.messages().empty());
}

// Every value lands in the column of its name, even in a table whose columns stand in another order,
// and comes back from the store in table order.
TEST_F(RecordSchemaFile, NamedInsertRoundTripsEveryField) {
    std::vector<std::string> reversed;
    for (const RecordField& field : RecordFields())
        reversed.insert(reversed.begin(), std::string("[") + field.name + "] " + field.sqlType);
    std::string create = "CREATE TABLE [logs] (";
    for (std::size_t i = 0; i < reversed.size(); ++i)
        create += (i ? ", " : "") + reversed[i];
    ASSERT_NO_THROW(raw().execute(create + ")"));
    ASSERT_NO_THROW(raw().execute("PRAGMA user_version = 1"));

    ASSERT_TRUE(store.open("logs"));
    ASSERT_EQ(store.insert("logs", {DistinctRecord()}, "2026-01-02 03:04:05"), RecordStore::Stored);
    const StoredRecord expected{.id = 1, .record = DistinctRecord(), .datetime = "2026-01-02 03:04:05"};
    for (const RecordField& field : RecordFields())
        EXPECT_EQ(column(std::string("SELECT ") + field.name + " FROM logs"),
                  std::vector<std::string>{FieldText(field, expected)})
            << field.name;

    const RecordRows rows = store.queryLogs(LogFilter{.serial = DistinctRecord().sn});
    ASSERT_EQ(rows.rows.size(), 1u);
    EXPECT_EQ(rows.columns, std::vector<std::string>(RecordColumnNames().begin(), RecordColumnNames().end()));
    const StoredRecord back = RecordFromRow(rows.rows[0]);
    EXPECT_EQ(back.id, 1);
    EXPECT_EQ(back.record, DistinctRecord());
    EXPECT_EQ(back.datetime, "2026-01-02 03:04:05");
    ASSERT_EQ(store.logsAfter(0).size(), 1u);
    EXPECT_EQ(store.logsAfter(0)[0].record, DistinctRecord());
}

// The table of faults, as the file keeps each statement (without its closing semicolon).
const std::vector<std::string> kFaultsSchema = {
    "CREATE TABLE [faults] ([id] INTEGER PRIMARY KEY AUTOINCREMENT, [LogId] INTEGER NOT NULL, [Item] INTEGER NOT "
    "NULL, [Fault] TEXT NOT NULL)",
    "CREATE INDEX [faults_Item] ON [faults] ([Item])",
    "CREATE INDEX [faults_LogId] ON [faults] ([LogId])",
};

TEST(RecordSchema, TheFaultsTableIsCreatedWithTheseStatements) {
    const std::vector<std::string> sql(FaultsTableSql().begin(), FaultsTableSql().end());
    EXPECT_EQ(sql, (std::vector<std::string>{
                       "CREATE TABLE IF NOT EXISTS [faults] ([id] INTEGER PRIMARY KEY AUTOINCREMENT, [LogId] INTEGER "
                       "NOT NULL, [Item] INTEGER NOT NULL, [Fault] TEXT NOT NULL);",
                       "CREATE INDEX IF NOT EXISTS [faults_LogId] ON [faults] ([LogId]);",
                       "CREATE INDEX IF NOT EXISTS [faults_Item] ON [faults] ([Item]);",
                   }));
}

struct FaultsUpgradeCase {
    const char* name;
    int version;               // of the older file
    bool withUploads;          // the file has uploads beside logs
    const char* missingInLogs; // a column its logs lacks; "" for none
};

class RecordSchemaFaultsUpgrade : public RecordSchemaFile, public ::testing::WithParamInterface<FaultsUpgradeCase> {
protected:
    std::vector<std::string> faultsSchema() {
        return column("SELECT sql FROM sqlite_master WHERE tbl_name = 'faults' ORDER BY name");
    }
};

// An older file gains faults beside its logs, its rows as they were; its rows have no faults, new
// ones keep theirs.
TEST_P(RecordSchemaFaultsUpgrade, AnOlderFileGainsFaultsWithItsRowsUntouched) {
    const FaultsUpgradeCase& c = GetParam();
    std::string logs = kOldCreateLogs;
    if (*c.missingInLogs)
        logs = std::regex_replace(logs,
                                  std::regex(",\\s*\\[" + std::string(c.missingInLogs) + "\\] VARCHAR \\(\\d+\\)"), "");
    ASSERT_NO_THROW(raw().execute(logs));
    if (c.withUploads) {
        ASSERT_NO_THROW(raw().execute(kOldCreateUploads));
    }
    for (const char* sn : {"OLD-1", "OLD-2"})
        ASSERT_NO_THROW(raw().execute(
            "INSERT INTO logs (sn, LEDCheck, datetime) VALUES (?, '9', '2020-05-06 07:08:09')", {std::string(sn)}));
    ASSERT_NO_THROW(raw().execute("PRAGMA user_version = " + std::to_string(c.version)));
    const std::vector<std::string> rowsBefore = column("SELECT id || '|' || sn || '|' || LEDCheck || '|' || datetime "
                                                       "FROM logs ORDER BY id");
    ASSERT_TRUE(faultsSchema().empty());

    ASSERT_TRUE(store.open("logs")) << store.lastError();
    EXPECT_TRUE(notes.messages().empty());
    EXPECT_EQ(version(), RecordSchemaVersion);
    EXPECT_EQ(faultsSchema(), kFaultsSchema);
    EXPECT_EQ(column("SELECT id || '|' || sn || '|' || LEDCheck || '|' || datetime FROM logs ORDER BY id"), rowsBefore);
    const std::string logsText = column("SELECT sql FROM sqlite_master WHERE name = 'logs'").at(0);
    if (!*c.missingInLogs) {
        EXPECT_EQ(logsText + ";", kOldCreateLogs);
    }
    for (int id : {1, 2}) {
        const auto faults = store.faultsOfLog(id);
        ASSERT_TRUE(faults.has_value());
        EXPECT_TRUE(faults->empty());
    }
    DiagRecord r = DistinctRecord();
    r.faults = {{14, "LED 不正常"}};
    ASSERT_EQ(store.insert("logs", {r}), RecordStore::Stored);
    EXPECT_EQ(store.faultsOfLog(3), (std::optional<std::vector<RecordFault>>{r.faults}));
    store.close();
    // Opening again finds nothing left to do.
    const std::vector<std::string> schema = column("SELECT sql FROM sqlite_master ORDER BY name");
    ASSERT_TRUE(store.open(std::vector<std::string>{"uploads", "logs"}));
    store.close();
    if (c.withUploads) {
        EXPECT_EQ(column("SELECT sql FROM sqlite_master ORDER BY name"), schema);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Versions, RecordSchemaFaultsUpgrade,
    ::testing::Values(FaultsUpgradeCase{"VersionOne", 1, true, ""}, FaultsUpgradeCase{"VersionZero", 0, true, ""},
                      FaultsUpgradeCase{"VersionZeroLogsAlone", 0, false, ""},
                      FaultsUpgradeCase{"VersionZeroWithoutAColumn", 0, true, "DiskIntegrityCheck"}),
    [](const auto& info) { return std::string(info.param.name); });

// A file of this version whose logs came after its uploads gains faults with its logs.
TEST_F(RecordSchemaFile, LogsAddedToAFileOfThisVersionBringFaults) {
    ASSERT_TRUE(store.open("uploads"));
    store.close();
    EXPECT_EQ(version(), RecordSchemaVersion);
    EXPECT_TRUE(column("SELECT name FROM sqlite_master WHERE name = 'faults'").empty());
    ASSERT_TRUE(store.open("logs"));
    store.close();
    EXPECT_EQ(column("SELECT sql FROM sqlite_master WHERE tbl_name = 'faults' ORDER BY name"), kFaultsSchema);

    // A file of this version with logs but without faults (two clients opening one new file at once
    // could once leave it so) gains faults on the next open, for either open or for both tables.
    for (const std::vector<std::string>& tables :
         {std::vector<std::string>{"logs"}, std::vector<std::string>{"uploads", "logs"}}) {
        ASSERT_NO_THROW(raw().execute("DROP TABLE faults"));
        ASSERT_TRUE(store.open(tables));
        DiagRecord r = DistinctRecord();
        r.faults = {{14, "LED 不正常"}};
        ASSERT_EQ(store.insert("logs", {r}), RecordStore::Stored) << store.lastError();
        store.close();
        EXPECT_EQ(column("SELECT sql FROM sqlite_master WHERE tbl_name = 'faults' ORDER BY name"), kFaultsSchema);
    }
}

struct UpgradeCase {
    const char* name;
    const char* missingInLogs;    // a column the older file's logs lacks; "" for none
    const char* missingInUploads; // the same for uploads
};

class RecordSchemaUpgrade : public RecordSchemaFile, public ::testing::WithParamInterface<UpgradeCase> {
protected:
    // The old statement without one column: the shape of a file from before that column.
    static std::string WithoutColumn(const std::string& create, const std::string& name) {
        if (name.empty())
            return create;
        return std::regex_replace(create, std::regex(",\\s*\\[" + name + "\\] VARCHAR \\(\\d+\\)"), "");
    }
    void makeOlderFile(const UpgradeCase& c) {
        ASSERT_NO_THROW(raw().execute(WithoutColumn(kOldCreateLogs, c.missingInLogs)));
        ASSERT_NO_THROW(raw().execute(WithoutColumn(kOldCreateUploads, c.missingInUploads)));
        for (const char* table : {"logs", "uploads"})
            for (const char* sn : {"OLD-1", "OLD-2"})
                ASSERT_NO_THROW(raw().execute(std::string("INSERT INTO ") + table +
                                                  " (sn, FE1Check, datetime) VALUES (?, '1', '2020-05-06 07:08:09')",
                                              {std::string(sn)}));
        ASSERT_EQ(version(), 0);
    }
};

TEST_P(RecordSchemaUpgrade, AnOlderFileKeepsItsRowsAndGainsTheColumns) {
    const UpgradeCase& c = GetParam();
    makeOlderFile(c);
    const std::vector<std::string> names(RecordColumnNames().begin(), RecordColumnNames().end());
    if (*c.missingInLogs) {
        ASSERT_EQ(columnsOf("logs").size(), names.size() - 1);
    }

    ASSERT_TRUE(store.open(std::vector<std::string>{"uploads", "logs"})) << store.lastError();
    EXPECT_TRUE(notes.messages().empty());
    EXPECT_EQ(version(), RecordSchemaVersion);
    for (const char* table : {"logs", "uploads"}) {
        SCOPED_TRACE(table);
        std::vector<std::string> present = columnsOf(table);
        std::sort(present.begin(), present.end());
        std::vector<std::string> wanted = names;
        std::sort(wanted.begin(), wanted.end());
        EXPECT_EQ(present, wanted);
        EXPECT_EQ(column(std::string("SELECT sn FROM ") + table + " ORDER BY id"),
                  (std::vector<std::string>{"OLD-1", "OLD-2"}));
    }
    // The old rows read as before, the added column empty; new rows fill it.
    ASSERT_EQ(store.insert("logs", {DistinctRecord()}, "2026-01-02 03:04:05"), RecordStore::Stored);
    const std::vector<StoredRecord> logs = store.logsAfter(0);
    ASSERT_EQ(logs.size(), 3u);
    EXPECT_EQ(logs[0].record.sn, "OLD-1");
    EXPECT_EQ(logs[0].record.FE1Check, 1);
    EXPECT_EQ(logs[0].datetime, "2020-05-06 07:08:09");
    EXPECT_EQ(logs[2].record, DistinctRecord());
    EXPECT_EQ(logs[2].datetime, "2026-01-02 03:04:05");
    const RecordRows uploads = store.readUploads();
    ASSERT_EQ(uploads.rows.size(), 2u);
    EXPECT_EQ(uploads.columns, names);
    EXPECT_EQ(RecordFromRow(uploads.rows[1]).record.sn, "OLD-2");
    EXPECT_EQ(RecordFromRow(uploads.rows[1]).datetime, "2020-05-06 07:08:09");
    if (*c.missingInUploads) {
        const auto at = std::find(names.begin(), names.end(), c.missingInUploads) - names.begin();
        EXPECT_FALSE(uploads.rows[0][static_cast<std::size_t>(at)].has_value());
    }
    store.close();

    // A second open finds nothing left to do.
    const std::vector<std::string> schema = column("SELECT sql FROM sqlite_master ORDER BY name");
    ASSERT_TRUE(store.open(std::vector<std::string>{"uploads", "logs"}));
    store.close();
    EXPECT_EQ(column("SELECT sql FROM sqlite_master ORDER BY name"), schema);
}

INSTANTIATE_TEST_SUITE_P(
    Shapes, RecordSchemaUpgrade,
    ::testing::Values(UpgradeCase{"LogsWithoutAMiddleColumn", "PreConfigCheck", ""},
                      UpgradeCase{"BothWithoutTheLastResult", "DiskIntegrityCheck", "DiskIntegrityCheck"},
                      UpgradeCase{"UploadsWithoutTheMac", "", "Mac"}, UpgradeCase{"TodaysShapeUnversioned", "", ""}),
    [](const auto& info) { return std::string(info.param.name); });

// A table without the key is not an older table of ours: the file is left alone, as it always was.
TEST_F(RecordSchemaFile, AForeignTableIsLeftAsItIs) {
    ASSERT_NO_THROW(raw().execute("CREATE TABLE logs (sn TEXT)"));
    ASSERT_TRUE(store.open("logs"));
    EXPECT_EQ(columnsOf("logs"), std::vector<std::string>{"sn"});
    EXPECT_EQ(version(), 0);
    EXPECT_EQ(store.insert("logs", {DistinctRecord()}), RecordStore::StoreFailed);
}

TEST_F(RecordSchemaFile, ANewerFileIsRefusedAndLeftUnchanged) {
    ASSERT_TRUE(store.open("logs"));
    ASSERT_EQ(store.insert("logs", {DistinctRecord()}), RecordStore::Stored);
    store.close();
    // Without faults, which this tool would otherwise add.
    ASSERT_NO_THROW(raw().execute("DROP TABLE faults"));
    ASSERT_NO_THROW(raw().execute("PRAGMA user_version = 99"));
    raw().close();
    const std::string before = test::readFile(dbPath());

    struct Attempt {
        const char* name;
        bool (*run)(RecordStore&);
    };
    const std::vector<Attempt> attempts = {
        {"logs", [](RecordStore& s) { return s.open("logs"); }},
        // uploads is missing: it would be created in a file of this version.
        {"both",
         [](RecordStore& s) {
             return s.open(std::vector<std::string>{"uploads", "logs"});
         }},
        {"writable", [](RecordStore& s) { return s.checkWritable(); }},
    };
    for (const Attempt& a : attempts) {
        SCOPED_TRACE(a.name);
        const std::size_t shown = notes.messages().size();
        EXPECT_FALSE(a.run(store));
        EXPECT_FALSE(store.isOpen());
        EXPECT_EQ(store.lastError(), kRefusal99);
        ASSERT_EQ(notes.messages().size(), shown + 1);
        EXPECT_EQ(notes.messages().back(), kRefusal99);
        EXPECT_EQ(test::readFile(dbPath()), before);
    }
}

} // namespace
} // namespace orva

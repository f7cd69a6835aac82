#include "core/records/RecordSchema.h"

#include "core/records/RecordFields.h"
#include "core/records/SqliteError.h"

#include <sqlite3.h>

#include <algorithm>
#include <cctype>

namespace orva {

namespace {

constexpr const char* kRecordTables[] = {"logs", "uploads"};

// The searches of the log page filter on these columns; without an index every search would read the
// whole table, which grows by every diagnosis ever made.
constexpr const char* kLogIndexes[] = {
    "CREATE INDEX IF NOT EXISTS [logs_sn] ON [logs] ([sn]);",
    "CREATE INDEX IF NOT EXISTS [logs_DeviceType] ON [logs] ([DeviceType]);",
    "CREATE INDEX IF NOT EXISTS [logs_Operator] ON [logs] ([Operator]);",
    "CREATE INDEX IF NOT EXISTS [logs_datetime] ON [logs] ([datetime]);",
};

constexpr const char* kFaultsSql[] = {
    "CREATE TABLE IF NOT EXISTS [faults] ([id] INTEGER PRIMARY KEY AUTOINCREMENT, [LogId] INTEGER NOT NULL, [Item] "
    "INTEGER NOT NULL, [Fault] TEXT NOT NULL);",
    "CREATE INDEX IF NOT EXISTS [faults_LogId] ON [faults] ([LogId]);",
    "CREATE INDEX IF NOT EXISTS [faults_Item] ON [faults] ([Item]);",
};

std::string ColumnDefinition(const RecordField& field) {
    std::string text = std::string("[") + field.name + "] " + field.sqlType;
    if (field.sqlDefault)
        text += std::string(" DEFAULT ") + field.sqlDefault;
    return text;
}

std::string ColumnList() {
    std::string list;
    for (const RecordField& field : RecordFields())
        list += (list.empty() ? "" : ", ") + std::string(field.name);
    return list;
}

// SQLite matches column names without regard to ASCII case.
bool SameName(const std::string& a, const std::string& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](unsigned char x, unsigned char y) { return std::tolower(x) == std::tolower(y); });
}

std::vector<std::string> ColumnsOf(SqliteDb& db, const std::string& table) {
    std::vector<std::string> names;
    for (SqliteQuery q = db.query("SELECT name FROM pragma_table_info(?)", {table}); !q.atEnd(); q.nextRow())
        names.push_back(q.columnText(0));
    return names;
}

struct UpgradePlan {
    std::vector<std::string> statements;
    // Whether any of `statements` adds a column; without one the plan only adds faults.
    bool columns = false;
    // A table without the key is no older form of ours but somebody else's: the file is left alone.
    bool foreign = false;
};

UpgradePlan PlanUpgrade(SqliteDb& db) {
    UpgradePlan plan;
    for (const char* table : kRecordTables) {
        if (!db.hasTable(table))
            continue;
        const std::vector<std::string> present = ColumnsOf(db, table);
        const auto has = [&](const RecordField& field) {
            return std::any_of(present.begin(), present.end(),
                               [&](const std::string& n) { return SameName(n, field.name); });
        };
        for (const RecordField& field : RecordFields()) {
            if (has(field))
                continue;
            if (IsKeyField(field)) {
                plan.foreign = true;
                break;
            }
            plan.statements.push_back(std::string("ALTER TABLE [") + table + "] ADD COLUMN " + ColumnDefinition(field) +
                                      ";");
            plan.columns = true;
        }
    }
    if (!plan.foreign && db.hasTable("logs") && !db.hasTable("faults"))
        plan.statements.insert(plan.statements.end(), std::begin(kFaultsSql), std::end(kFaultsSql));
    return plan;
}

std::string VersionSql() {
    return "PRAGMA user_version = " + std::to_string(RecordSchemaVersion) + ";";
}

void Upgrade(SqliteDb& db) {
    const UpgradePlan plan = PlanUpgrade(db);
    if (plan.foreign)
        return;
    if (plan.statements.empty()) {
        // Every column is there and the version is only a note of it: a file that may not be written (a
        // read-only file, a folder without room for the journal) must still open for reading.
        try {
            db.execute(VersionSql());
        } catch (const SqliteError&) {
        }
        return;
    }
    // The columns, faults and the version go in together; another client starting at the same moment
    // waits, then finds the work done.
    try {
        db.execute("BEGIN IMMEDIATE TRANSACTION;");
        // Planned again under the lock, whatever version the file now notes: a client that opened
        // uploads alone may have noted this version before logs (and so faults) existed.
        if (db.queryInt("PRAGMA user_version") <= RecordSchemaVersion) {
            for (const std::string& sql : PlanUpgrade(db).statements)
                db.execute(sql);
            db.execute(VersionSql());
        }
        db.execute("COMMIT TRANSACTION;");
    } catch (const SqliteError& e) {
        try {
            if (db.inTransaction())
                db.execute("ROLLBACK TRANSACTION;");
        } catch (const SqliteError&) {
        }
        // An older file with every column still opens for reading where it may not be written (a
        // read-only medium or folder): its version stays, and a later open that may write adds faults.
        // Any other failure (a lock held too long, a full disk) is the caller's to show.
        const int primary = e.code() & 0xff;
        if (!plan.columns && (primary == SQLITE_READONLY || primary == SQLITE_CANTOPEN))
            return;
        throw;
    }
}

// A file of this version whose logs came later than its uploads.
void AddFaultsTable(SqliteDb& db) {
    if (db.hasTable("faults"))
        return;
    db.execute("BEGIN IMMEDIATE TRANSACTION;");
    try {
        for (const char* sql : kFaultsSql)
            db.execute(sql);
        db.execute("COMMIT TRANSACTION;");
    } catch (const SqliteError&) {
        try {
            if (db.inTransaction())
                db.execute("ROLLBACK TRANSACTION;");
        } catch (const SqliteError&) {
        }
        throw;
    }
}

} // namespace

std::span<const char* const> FaultsTableSql() {
    return kFaultsSql;
}

bool IsRecordTable(const std::string& table) {
    return std::find(std::begin(kRecordTables), std::end(kRecordTables), table) != std::end(kRecordTables);
}

std::string CreateTableSql(const std::string& table) {
    std::string sql = "CREATE TABLE [" + table + "] (";
    bool first = true;
    for (const RecordField& field : RecordFields()) {
        if (!first)
            sql += field.tightComma ? "," : ", ";
        first = false;
        sql += ColumnDefinition(field);
    }
    return sql + ");";
}

std::string InsertSql(const std::string& table) {
    std::string names;
    std::string marks;
    for (const RecordField& field : RecordFields()) {
        if (IsKeyField(field))
            continue;
        names += (names.empty() ? "" : ", ") + std::string(field.name);
        marks += marks.empty() ? "?" : ", ?";
    }
    return "INSERT INTO " + table + " (" + names + ") VALUES (" + marks + ");";
}

SqliteParams InsertParams(const DiagRecord& record, const std::string& storedAt) {
    const StoredRecord stored{.record = record, .datetime = storedAt};
    SqliteParams params;
    for (const RecordField& field : RecordFields())
        if (!IsKeyField(field))
            params.emplace_back(FieldText(field, stored));
    return params;
}

std::string SelectRecordsSql(const std::string& table) {
    static const std::string columns = ColumnList();
    return "SELECT " + columns + " FROM " + table;
}

void PrepareRecordTables(SqliteDb& db, const std::vector<std::string>& tables) {
    for (const std::string& table : tables)
        if (!IsRecordTable(table))
            throw SqliteError(SqliteError::WrapperError, "Unknown table " + table);
    const int version = db.queryInt("PRAGMA user_version");
    if (version > RecordSchemaVersion)
        throw SqliteError(SqliteError::WrapperError,
                          "the record file is of version " + std::to_string(version) + ", newer than version " +
                              std::to_string(RecordSchemaVersion) +
                              " this tool knows; it is left unchanged for the tool that wrote it");
    for (const std::string& table : tables) {
        if (db.hasTable(table))
            continue;
        try {
            db.execute(CreateTableSql(table));
        } catch (const SqliteError&) {
            // Another client (the upload pass beside a starting diagnosis, say) may have created it
            // between the look and the statement: that is the table wanted.
            if (!db.hasTable(table))
                throw;
        }
    }
    const bool logs = std::find(tables.begin(), tables.end(), "logs") != tables.end();
    if (version < RecordSchemaVersion)
        Upgrade(db);
    else if (logs)
        AddFaultsTable(db);
    if (logs) {
        // Only a speed-up: a table of another shape or a read-only file must still open.
        for (const char* sql : kLogIndexes) {
            try {
                db.execute(sql);
            } catch (const SqliteError&) {
            }
        }
    }
}

} // namespace orva

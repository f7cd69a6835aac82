#pragma once
// The tables logs and uploads in the file, made from RecordFields(): the statements that create, fill
// and read them, and the upgrade of a file an older version of the tool left behind.
#include "core/records/DiagRecord.h"
#include "core/records/SqliteDb.h"

#include <span>
#include <string>
#include <vector>

namespace orva {

// PRAGMA user_version of a file whose tables have every column of RecordFields() and whose logs has
// the table faults beside it. 1 is the shape every earlier version created (they left the version at
// 0); 2 added faults.
constexpr int RecordSchemaVersion = 2;

// The table faults (one row per fault of a logs row: LogId, Item, Fault) and its indexes, each
// statement "IF NOT EXISTS". It exists wherever logs does.
std::span<const char* const> FaultsTableSql();
inline constexpr const char* InsertFaultSql = "INSERT INTO faults (LogId, Item, Fault) VALUES (?, ?, ?);";

bool IsRecordTable(const std::string& table); // "logs" or "uploads"

// "CREATE TABLE [logs] (...);", the text every version of the tool has created the table with.
std::string CreateTableSql(const std::string& table);
// "INSERT INTO logs (Mac, ..., datetime) VALUES (?, ...);": every column but the id, in table order.
std::string InsertSql(const std::string& table);
// The values InsertSql binds for one record stored at `storedAt`.
SqliteParams InsertParams(const DiagRecord& record, const std::string& storedAt);
// "SELECT id, Mac, ..., datetime FROM logs": the columns in table order, whatever order an upgraded
// file holds them in.
std::string SelectRecordsSql(const std::string& table);

// Makes the file ready for `tables` before a store uses them: refuses a file of a newer version than
// RecordSchemaVersion without writing to it, creates the tables asked for that are missing, gives an
// older file's tables the columns they lack (and faults, beside an older logs) in one transaction and
// notes the version, creates faults beside logs, and adds the search indexes of logs.
// Throws SqliteError on failure.
void PrepareRecordTables(SqliteDb& db, const std::vector<std::string>& tables);

} // namespace orva

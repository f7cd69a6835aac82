#include "core/records/RecordStore.h"

#include "core/app/ClockText.h"
#include "core/app/LeadingNumber.h"
#include "core/app/Notifier.h"
#include "core/app/ProgramDirectory.h"
#include "core/records/RecordSchema.h"
#include "core/records/SqliteError.h"

#include <sys/statvfs.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <utility>

namespace orva {

namespace {

// SQLite words a read-only file system like any file it may not open or write ("unable to open database
// file", "attempt to write a readonly database"); the technician is told which of them it is, since
// the remedy is another place, not another file.
std::string WithFileSystemReason(const std::string& message, const std::string& databasePath) {
    const std::size_t slash = databasePath.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : databasePath.substr(0, slash + 1);
    struct statvfs fs {};
    if (::statvfs(folder.c_str(), &fs) == 0 && (fs.f_flag & ST_RDONLY) != 0)
        return message + " (" + std::strerror(EROFS) + ")";
    return message;
}

} // namespace

RecordStore::RecordStore() : RecordStore(JoinPath(ProgramDirectory(), "orvalog.db")) {}

RecordStore::RecordStore(std::string databasePath) : path_(std::move(databasePath)) {}

RecordStore::~RecordStore() {
    close();
}

std::string RecordStore::NowText() {
    return LocalTimeText();
}

void RecordStore::fail(const std::string& message, bool show) {
    lastError_ = WithFileSystemReason(message, path_);
    if (!show)
        return;
    if (holdMessages_)
        heldMessages_.push_back(lastError_);
    else
        notifier().messageBox(lastError_);
}

std::vector<std::string> RecordStore::takeHeldMessages() {
    return std::exchange(heldMessages_, {});
}

bool RecordStore::checkWritable() {
    if (!open(std::vector<std::string>{"uploads", "logs"}))
        return false;
    bool writable = true;
    try {
        // A row in each table reaches the file (journal and all) as a real store would, and the rollback
        // leaves the file as it was: the ids of both tables go on where they stood.
        db_.execute("BEGIN TRANSACTION;");
        const std::string storedAt = NowText();
        insertRows("uploads", {DiagRecord{}}, storedAt);
        // With a fault, so that a faults table that refuses rows is found here, before a run.
        DiagRecord probe;
        probe.faults.push_back({1, "probe"});
        insertRows("logs", {probe}, storedAt);
    } catch (const SqliteError& e) {
        fail(e.message(), true);
        writable = false;
    }
    try {
        if (db_.inTransaction())
            db_.execute("ROLLBACK TRANSACTION;");
    } catch (const SqliteError&) {
        // Nothing of the probe was committed either way.
    }
    close();
    return writable;
}

bool RecordStore::open(const std::string& table) {
    return open(std::vector<std::string>{table});
}

bool RecordStore::open(const std::vector<std::string>& tables) {
    close();
    try {
        for (const std::string& table : tables)
            if (!IsRecordTable(table))
                throw SqliteError(SqliteError::WrapperError, "Unknown table " + table);
        db_.open(path_);
        PrepareRecordTables(db_, tables);
    } catch (const SqliteError& e) {
        try {
            db_.close();
        } catch (const SqliteError&) {
        }
        fail(e.message(), true);
        return false;
    }
    open_ = true;
    return true;
}

void RecordStore::close() {
    if (open_) {
        try {
            db_.close();
        } catch (const SqliteError& e) {
            lastError_ = e.message();
        }
    }
    open_ = false;
}

int RecordStore::insert(const std::string& table, const std::vector<DiagRecord>& records) {
    return insert(table, records, NowText());
}

void RecordStore::insertRows(const std::string& table, const std::vector<DiagRecord>& records,
                             const std::string& storedAt) {
    const std::string sql = InsertSql(table);
    const bool withFaults = table == "logs";
    // A lock that outlasted the busy wait, a full disk or a constraint each mean the row is not stored.
    // A fault that cannot be stored fails its record too: the caller's transaction takes back both.
    for (const DiagRecord& record : records) {
        db_.execute(sql, InsertParams(record, storedAt));
        if (!withFaults || record.faults.empty())
            continue;
        const std::int64_t logId = db_.lastInsertId();
        for (const RecordFault& fault : record.faults)
            db_.execute(InsertFaultSql, {logId, static_cast<std::int64_t>(fault.item), fault.text});
    }
}

int RecordStore::insert(const std::string& table, const std::vector<DiagRecord>& records, const std::string& storedAt) {
    if (!open_ || records.empty())
        return NothingToStore;
    try {
        if (!IsRecordTable(table))
            throw SqliteError(SqliteError::WrapperError, "Unknown table " + table);
        db_.execute("BEGIN TRANSACTION;");
        insertRows(table, records, storedAt);
        db_.execute("COMMIT TRANSACTION;");
    } catch (const SqliteError& e) {
        try {
            db_.execute("ROLLBACK TRANSACTION;");
        } catch (const SqliteError&) {
            // No transaction left to roll back (BEGIN failed, or SQLite already ended it).
        }
        fail(e.message(), true);
        return StoreFailed;
    }
    return Stored;
}

int RecordStore::insertBatch(const std::string& table, const std::vector<DiagRecord>& records,
                             const std::string& storedAt) {
    try {
        // SQLite ends the whole transaction by itself after some errors (a full disk, for one): the
        // next batch then needs a transaction of its own.
        if (!db_.inTransaction())
            db_.execute("BEGIN TRANSACTION;");
        db_.execute("SAVEPOINT batch;");
        insertRows(table, records, storedAt);
        db_.execute("RELEASE batch;");
    } catch (const SqliteError& e) {
        try {
            if (db_.inTransaction()) {
                db_.execute("ROLLBACK TO batch;");
                db_.execute("RELEASE batch;");
            }
        } catch (const SqliteError&) {
            // The savepoint went with a transaction SQLite had already ended.
        }
        fail(e.message(), true);
        return StoreFailed;
    }
    return Stored;
}

RecordStore::FinishedResult RecordStore::insertFinished(const std::vector<DiagRecord>& records, bool keepForUpload) {
    FinishedResult result;
    if (!open_ || records.empty())
        return result;
    const std::string storedAt = NowText();
    if (keepForUpload) {
        result.uploads = insertBatch("uploads", records, storedAt);
        if (result.uploads == Stored)
            result.newestUploadId = static_cast<int>(db_.lastInsertId());
    }
    result.logs = insertBatch("logs", records, storedAt);
    // A failure that made SQLite end the transaction took the uploads rows of this call with it.
    if (result.logs == StoreFailed && result.uploads == Stored && !db_.inTransaction())
        result.uploads = StoreFailed;
    try {
        if (db_.inTransaction())
            db_.execute("COMMIT TRANSACTION;");
    } catch (const SqliteError& e) {
        try {
            db_.execute("ROLLBACK TRANSACTION;");
        } catch (const SqliteError&) {
        }
        fail(e.message(), true);
        if (result.uploads == Stored)
            result.uploads = StoreFailed;
        if (result.logs == Stored)
            result.logs = StoreFailed;
    }
    if (result.uploads != Stored)
        result.newestUploadId = 0;
    return result;
}

bool RecordStore::readRows(const std::string& sql, const SqliteParams& params, const RowTaker& take) {
    if (!open_)
        return false;
    try {
        SqliteQuery q = db_.query(sql, params);
        const int count = q.columnCount();
        std::vector<std::string> names;
        names.reserve(static_cast<std::size_t>(count));
        for (int i = 0; i < count; ++i)
            names.push_back(q.columnName(i));
        RowTexts texts;
        for (; !q.atEnd(); q.nextRow()) {
            texts.resize(static_cast<std::size_t>(count));
            for (int i = 0; i < count; ++i)
                texts[static_cast<std::size_t>(i)] = q.columnValue(i);
            if (take(names, texts) != 0)
                break;
        }
    } catch (const SqliteError& e) {
        fail(e.message(), false);
        return false;
    }
    return true;
}

RecordRows RecordStore::collectRows(const std::string& sql, const SqliteParams& params) {
    RecordRows out;
    const bool ok = readRows(sql, params, [&](const std::vector<std::string>& names, RowTexts& texts) {
        if (out.columns.empty())
            out.columns = names;
        out.rows.push_back(std::move(texts));
        texts = RowTexts();
        return 0;
    });
    if (!ok)
        return {};
    return out;
}

RecordRows RecordStore::readUploads() {
    return collectRows(SelectRecordsSql("uploads") + " ORDER BY id", {});
}

int RecordStore::forEachUpload(const RowVisitor& visitor) {
    // The read has ended (its statement finalized) before the first row is handed out: the visitor
    // sends over the network, and other connections must be able to write meanwhile.
    const RecordRows rows = readUploads();
    int visited = 0;
    for (const RowTexts& row : rows.rows) {
        ++visited;
        if (visitor(rows.columns, row) != 0)
            break;
    }
    return visited;
}

int RecordStore::deleteUpload(int id) {
    if (!open_)
        return 0;
    try {
        // Outside a transaction the statement commits by itself: a deletion is permanent at once.
        db_.execute("DELETE FROM uploads WHERE id = ?", {static_cast<std::int64_t>(id)});
    } catch (const SqliteError& e) {
        fail(e.message(), false);
        return -1;
    }
    return 1;
}

bool RecordStore::queryLogs(const LogFilter& filter, const RowVisitor& visitor) {
    const LogCondition condition = BuildLogCondition(filter);
    return readRows(LogQuerySql(condition), condition.params,
                    [&](const std::vector<std::string>& names, RowTexts& texts) { return visitor(names, texts); });
}

RecordRows RecordStore::queryLogs(const LogFilter& filter) {
    const LogCondition condition = BuildLogCondition(filter);
    return collectRows(LogQuerySql(condition), condition.params);
}

bool RecordStore::statistics(const LogFilter& filter, std::span<const StatsItem> items, RecordStats& out) {
    if (!open_) {
        lastError_ = "Database not open";
        return false;
    }
    try {
        out = ComputeRecordStats(db_, filter, items);
    } catch (const SqliteError& e) {
        fail(e.message(), false);
        return false;
    }
    return true;
}

std::optional<std::vector<LogFault>> RecordStore::readFaults(const std::string& sql, const SqliteParams& params) {
    if (!open_)
        return std::nullopt;
    std::vector<LogFault> out;
    try {
        if (!db_.hasTable("faults"))
            return out;
    } catch (const SqliteError& e) {
        fail(e.message(), false);
        return std::nullopt;
    }
    const bool ok = readRows(sql, params, [&](const std::vector<std::string>&, RowTexts& texts) {
        LogFault f;
        f.logId = LeadingInt(texts[0].value_or(std::string()));
        f.fault.item = LeadingInt(texts[1].value_or(std::string()));
        f.fault.text = texts[2].value_or(std::string());
        out.push_back(std::move(f));
        return 0;
    });
    if (!ok)
        return std::nullopt;
    return out;
}

std::optional<std::vector<RecordFault>> RecordStore::faultsOfLog(int logId) {
    const std::string sql = "SELECT LogId, Item, substr(Fault, 1, " + std::to_string(MaxFaultChars) +
                            ") FROM faults WHERE LogId = ? ORDER BY id LIMIT " + std::to_string(MaxFaultsPerLog);
    std::optional<std::vector<LogFault>> rows = readFaults(sql, {static_cast<std::int64_t>(logId)});
    if (!rows)
        return std::nullopt;
    std::vector<RecordFault> out;
    out.reserve(rows->size());
    for (LogFault& row : *rows)
        out.push_back(std::move(row.fault));
    return out;
}

std::optional<std::vector<LogFault>> RecordStore::faultsOfLogs(const LogFilter& filter, int limit) {
    const LogCondition condition = BuildLogCondition(filter);
    SqliteParams params = condition.params;
    params.emplace_back(static_cast<std::int64_t>(std::max(0, limit)));
    // Each log's faults are cut as faultsOfLog cuts them, so a spoilt file's record with thousands of
    // faults cannot take the whole limit.
    return readFaults("SELECT LogId, Item, substr(Fault, 1, " + std::to_string(MaxFaultChars) +
                          ") FROM (SELECT id, LogId, Item, Fault, ROW_NUMBER() OVER (PARTITION BY LogId ORDER BY id) "
                          "AS nth FROM faults WHERE LogId IN (SELECT id FROM logs WHERE " +
                          condition.where + ")) WHERE nth <= " + std::to_string(MaxFaultsPerLog) +
                          " ORDER BY LogId DESC, id LIMIT ?",
                      params);
}

int RecordStore::highestLogId() {
    if (!open_)
        return 0;
    try {
        return db_.queryInt("SELECT COALESCE(MAX(id), 0) FROM logs");
    } catch (const SqliteError& e) {
        fail(e.message(), false);
        return 0;
    }
}

std::vector<StoredRecord> RecordStore::logsAfter(int id) {
    std::vector<StoredRecord> out;
    const bool ok = readRows(SelectRecordsSql("logs") + " WHERE id > ? ORDER BY id", {static_cast<std::int64_t>(id)},
                             [&](const std::vector<std::string>&, RowTexts& texts) {
                                 out.push_back(RecordFromRow(texts));
                                 return 0;
                             });
    if (!ok)
        return {};
    return out;
}

} // namespace orva

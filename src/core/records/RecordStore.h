#pragma once
// The local record store: orvalog.db with the tables logs (every stored diagnosis, never deleted
// from) and uploads (diagnoses the reporting service has not taken yet). One RecordStore per client,
// each with its own connection; a store is used by one thread at a time.
#include "core/records/DiagRecord.h"
#include "core/records/LogQuery.h"
#include "core/records/RecordStats.h"
#include "core/records/SqliteDb.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace orva {

// Called once per row with the column names and texts; returns 0 to go on, anything else to stop.
using RowVisitor = std::function<int(const std::vector<std::string>& names, const RowTexts& texts)>;

// A fault of a logs row, as the table faults keeps it.
struct LogFault {
    int logId = 0;
    RecordFault fault;

    bool operator==(const LogFault&) const = default;
};

struct RecordRows {
    std::vector<std::string> columns;
    std::vector<RowTexts> rows;
};

class RecordStore {
public:
    // insert() results.
    static constexpr int NothingToStore = 0; // not open, or an empty list
    static constexpr int Stored = 1;
    static constexpr int StoreFailed = -1; // rolled back; the technician has been shown why

    // orvalog.db in the program directory.
    RecordStore();
    explicit RecordStore(std::string databasePath);
    ~RecordStore();
    RecordStore(const RecordStore&) = delete;
    RecordStore& operator=(const RecordStore&) = delete;

    // Opens the file (creating it when missing) and creates `table` ("logs" or "uploads") when it is
    // missing. A file an older version left gets the columns its tables lack; a file of a newer version
    // is refused and left as it is. A failure is shown to the technician with the database's error text
    // and leaves the store closed.
    bool open(const std::string& table);
    // The same for several tables on one connection.
    bool open(const std::vector<std::string>& tables);
    void close();
    bool isOpen() const { return open_; }
    const std::string& path() const { return path_; }
    // The error text of the latest failed operation ("NAME[code]: detail").
    const std::string& lastError() const { return lastError_; }
    // While held, the texts a failure would show the technician are kept instead, for the caller to show
    // later with takeHeldMessages() (the diagnosis stores its record before it says it has finished, yet
    // the technician reads the outcome of the store after that).
    void holdMessages(bool hold) { holdMessages_ = hold; }
    std::vector<std::string> takeHeldMessages();

    // Whether a finished diagnosis could be stored now: opens logs and uploads (creating what is missing),
    // writes a row into each inside a transaction that is rolled back, and closes again. False, with the
    // technician shown the store's error text, when the file, its folder or its file system refuse it.
    bool checkWritable();

    // Stores the records in one transaction, all with the same datetime (now, local time). When any
    // row cannot be stored, none is: the batch is rolled back and the technician sees the error.
    int insert(const std::string& table, const std::vector<DiagRecord>& records);
    // The same with a given datetime text ("YYYY-MM-DD HH:MM:SS").
    int insert(const std::string& table, const std::vector<DiagRecord>& records, const std::string& storedAt);

    // A finished diagnosis's records: into uploads (when `keepForUpload`) and into logs, in one
    // transaction, so that a process ended meanwhile leaves them in both tables or in neither. Each
    // table's batch still stands or falls on its own: when a row of one table fails, that table's batch
    // is rolled back (the technician sees why) and the other table's is stored. Needs open({"uploads",
    // "logs"}). Results as insert()'s, NothingToStore for a table not asked for.
    struct FinishedResult {
        int uploads = NothingToStore;
        int logs = NothingToStore;
        // The uploads row of the last (newest) record when uploads took the batch, else 0.
        int newestUploadId = 0;
    };
    FinishedResult insertFinished(const std::vector<DiagRecord>& records, bool keepForUpload);

    // Every row of uploads in ascending id order, read completely before returning so that no lock is
    // held while the caller sends them. Empty when not open or the read failed.
    RecordRows readUploads();
    // readUploads(), then the visitor for each row, outside any transaction; the visitor may call
    // deleteUpload. Returns the number of rows handed out.
    int forEachUpload(const RowVisitor& visitor);
    // Deletes one row of uploads, committed at once. 0 when not open, 1 when done, -1 on failure.
    int deleteUpload(int id);

    // The rows of logs the filter selects, newest id first. Empty when not open or on failure.
    RecordRows queryLogs(const LogFilter& filter);
    // The same, row by row to the visitor; false when not open or the statement failed.
    bool queryLogs(const LogFilter& filter, const RowVisitor& visitor);

    // The figures of the rows of logs the filter selects (see RecordStats.h). False, with lastError(),
    // when not open or a statement failed; nothing is shown to the technician.
    bool statistics(const LogFilter& filter, std::span<const StatsItem> items, RecordStats& out);
    // The reads of faults hand out at most this many rows (a record has one per failed item, 22 at
    // most, unless the file was written by something else) and cut a fault text to this many
    // characters: a spoilt file must not fill the memory or the screen.
    static constexpr int MaxFaultsPerLog = 64;
    static constexpr int MaxFaultRows = 1'000'000;
    static constexpr int MaxFaultChars = 256;
    // The faults stored with the logs row `logId`, in the order found; empty for a record stored
    // before faults were kept (and for a file without the table). nullopt when not open or the read
    // failed (lastError() says why).
    std::optional<std::vector<RecordFault>> faultsOfLog(int logId);
    // The faults of every row of logs the filter selects, newest log first and each log's in the
    // order found (at most MaxFaultsPerLog of one log), at most `limit` rows. nullopt when not open or
    // the read failed.
    std::optional<std::vector<LogFault>> faultsOfLogs(const LogFilter& filter, int limit = MaxFaultRows);

    // For "the diagnoses finished since the tool started": remember highestLogId() at start, later ask
    // logsAfter(it). highestLogId() is 0 for an empty table or a closed store.
    int highestLogId();
    // Rows of logs with an id above `id`, ascending.
    std::vector<StoredRecord> logsAfter(int id);

    // The local time now as "YYYY-MM-DD HH:MM:SS".
    static std::string NowText();

private:
    // Hands each row to `take`, which may move the texts away; a non-zero result stops the read.
    using RowTaker = std::function<int(const std::vector<std::string>& names, RowTexts& texts)>;
    bool readRows(const std::string& sql, const SqliteParams& params, const RowTaker& take);
    RecordRows collectRows(const std::string& sql, const SqliteParams& params);
    void fail(const std::string& message, bool show);
    // Reads (LogId, Item, Fault) rows; an absent table reads as none.
    std::optional<std::vector<LogFault>> readFaults(const std::string& sql, const SqliteParams& params);
    // Inserts every record into `table` (and, for logs, each record's faults beside its row); throws SqliteError at the
    // first row that is not stored.
    void insertRows(const std::string& table, const std::vector<DiagRecord>& records, const std::string& storedAt);
    // Inserts the rows inside the open transaction under a savepoint; a failure rolls back to it.
    int insertBatch(const std::string& table, const std::vector<DiagRecord>& records, const std::string& storedAt);

    std::string path_;
    SqliteDb db_;
    bool open_ = false;
    std::string lastError_;
    bool holdMessages_ = false;
    std::vector<std::string> heldMessages_;
};

} // namespace orva

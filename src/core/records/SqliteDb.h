#pragma once
// One connection to an SQLite file. Values always travel as bound parameters ("?" in the text), never
// inside the statement text. Every failure is thrown as a SqliteError.
#include "core/app/LeadingNumber.h"
#include "core/records/SqliteQuery.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <variant>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace orva {

using SqliteValue = std::variant<std::nullptr_t, std::int64_t, double, std::string>;
using SqliteParams = std::vector<SqliteValue>;

class SqliteDb {
public:
    static constexpr int DefaultBusyWait = 60000;

    SqliteDb() = default;
    SqliteDb(const SqliteDb&) = delete;
    SqliteDb& operator=(const SqliteDb&) = delete;
    // Closes the connection; an error at that point is dropped.
    virtual ~SqliteDb();

    // Opens (creating when missing) the file through the UTF-16 open call, so a new file gets UTF-16
    // text. A connection already open is closed first. Applies the busy wait.
    void open(const std::string& path);
    void close();
    bool isOpen() const { return db_ != nullptr; }

    void setBusyWait(int milliseconds);
    int busyWait() const { return busyWait_; }

    // Runs the first statement of `sql`, which returns no rows. Whatever ends it short of success (a
    // syntax error, a lock that outlasted the busy wait, a constraint, a full disk) is thrown with
    // its result code.
    void execute(const std::string& sql, const SqliteParams& params = {});
    // Runs the first statement of `sql`; the query is on its first row or at its end.
    SqliteQuery query(const std::string& sql, const SqliteParams& params = {});
    // The first column of the first row as an integer (leading decimal digits, 0 when there are none).
    int queryInt(const std::string& sql, const SqliteParams& params = {});
    bool hasTable(const std::string& name);
    // Whether a transaction is open on this connection. SQLite ends one by itself after some errors (a
    // full disk, for one), so a caller cannot tell from what it began.
    bool inTransaction() const;
    // The rowid of this connection's latest successful insert.
    std::int64_t lastInsertId() const;

    // The connection's latest error text.
    std::string errorMessage() const;
    sqlite3* handle() const { return db_; }

private:
    void requireOpen() const;
    sqlite3_stmt* prepare(const std::string& sql, const SqliteParams& params);

    sqlite3* db_ = nullptr;
    int busyWait_ = DefaultBusyWait;
};

} // namespace orva

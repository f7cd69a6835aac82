#pragma once
// The rows of one statement, read forward. A query comes from SqliteDb::query already on its first
// row (or at its end); nextRow() moves on. Texts come out as UTF-8 whatever the file's encoding.
#include <optional>
#include <string>

struct sqlite3;
struct sqlite3_stmt;

namespace orva {

class SqliteQuery {
public:
    // A finalized query: every accessor throws.
    SqliteQuery() = default;
    // Takes the prepared statement; `owns` says whether this query must finalize it.
    SqliteQuery(sqlite3* db, sqlite3_stmt* statement, bool atEnd, bool owns);
    SqliteQuery(SqliteQuery&& other) noexcept;
    SqliteQuery& operator=(SqliteQuery&& other) noexcept;
    SqliteQuery(const SqliteQuery&) = delete;
    SqliteQuery& operator=(const SqliteQuery&) = delete;
    // Finalizes the statement; an error at that point has nobody left to tell and is dropped.
    virtual ~SqliteQuery();

    int columnCount() const;
    bool atEnd() const;
    // The current row's column as text; empty for NULL.
    std::string columnText(int index) const;
    // The same, but NULL stays distinguishable.
    std::optional<std::string> columnValue(int index) const;
    std::string columnName(int index) const;
    // Steps to the next row; at the end atEnd() becomes true. A failing step finalizes and throws.
    void nextRow();
    // Ends the read now (releasing the connection's read lock); accessors throw afterwards.
    void finalize();

private:
    void requireStatement() const;
    void requireIndex(int index) const;

    sqlite3* db_ = nullptr;
    sqlite3_stmt* statement_ = nullptr;
    bool atEnd_ = true;
    int columnCount_ = 0;
    bool owns_ = false;
};

} // namespace orva

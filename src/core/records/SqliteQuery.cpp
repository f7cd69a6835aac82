#include "records/SqliteQuery.h"

#include "records/SqliteError.h"

#include <sqlite3.h>
#include <utility>

namespace orva {

SqliteQuery::SqliteQuery(sqlite3* db, sqlite3_stmt* statement, bool atEnd, bool owns)
    : db_(db), statement_(statement), atEnd_(atEnd), columnCount_(sqlite3_column_count(statement)), owns_(owns) {}

SqliteQuery::SqliteQuery(SqliteQuery&& other) noexcept
    : db_(std::exchange(other.db_, nullptr)), statement_(std::exchange(other.statement_, nullptr)),
      atEnd_(std::exchange(other.atEnd_, true)), columnCount_(std::exchange(other.columnCount_, 0)),
      owns_(std::exchange(other.owns_, false)) {}

SqliteQuery& SqliteQuery::operator=(SqliteQuery&& other) noexcept {
    if (this != &other) {
        finalize();
        db_ = std::exchange(other.db_, nullptr);
        statement_ = std::exchange(other.statement_, nullptr);
        atEnd_ = std::exchange(other.atEnd_, true);
        columnCount_ = std::exchange(other.columnCount_, 0);
        owns_ = std::exchange(other.owns_, false);
    }
    return *this;
}

SqliteQuery::~SqliteQuery() {
    finalize();
}

void SqliteQuery::finalize() {
    if (statement_ && owns_)
        sqlite3_finalize(statement_);
    statement_ = nullptr;
    atEnd_ = true;
}

void SqliteQuery::requireStatement() const {
    if (!statement_)
        throw SqliteError(SqliteError::WrapperError, "Null Virtual Machine pointer");
}

void SqliteQuery::requireIndex(int index) const {
    requireStatement();
    if (index < 0 || index >= columnCount_)
        throw SqliteError(SqliteError::WrapperError, "Invalid field index requested");
}

int SqliteQuery::columnCount() const {
    requireStatement();
    return columnCount_;
}

bool SqliteQuery::atEnd() const {
    requireStatement();
    return atEnd_;
}

std::optional<std::string> SqliteQuery::columnValue(int index) const {
    requireIndex(index);
    if (atEnd_)
        throw SqliteError(SqliteError::WrapperError, "No current row");
    const auto* text = sqlite3_column_text(statement_, index);
    if (!text)
        return std::nullopt;
    // The length must be asked after the text: it is the length of the UTF-8 form just made.
    return std::string(reinterpret_cast<const char*>(text),
                       static_cast<std::size_t>(sqlite3_column_bytes(statement_, index)));
}

std::string SqliteQuery::columnText(int index) const {
    return columnValue(index).value_or(std::string());
}

std::string SqliteQuery::columnName(int index) const {
    requireIndex(index);
    const char* name = sqlite3_column_name(statement_, index);
    return name ? name : "";
}

void SqliteQuery::nextRow() {
    requireStatement();
    if (atEnd_)
        return;
    const int rc = sqlite3_step(statement_);
    if (rc == SQLITE_ROW)
        return;
    if (rc == SQLITE_DONE) {
        atEnd_ = true;
        return;
    }
    const std::string detail = sqlite3_errmsg(db_);
    finalize();
    throw SqliteError(rc, detail);
}

} // namespace orva

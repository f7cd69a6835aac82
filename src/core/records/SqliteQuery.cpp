#include "core/records/SqliteQuery.h"

#include "core/records/SqliteError.h"

#include <sqlite3.h>
#include <utility>

namespace orva {

namespace {

// UTF-16 (native order, as SQLite hands it out) to UTF-8, replacing `out`; a lone surrogate becomes U+FFFD. Doing this
// here rather than asking SQLite for UTF-8 is several times faster for the mostly-ASCII texts of a
// UTF-16 file, which is what every search of the log page reads.
void ToUtf8(std::string& out, const char16_t* s, std::size_t n) {
    std::size_t ascii = 0;
    while (ascii < n && s[ascii] < 0x80)
        ++ascii;
    out.resize(ascii);
    for (std::size_t i = 0; i < ascii; ++i)
        out[i] = static_cast<char>(s[i]);
    if (ascii == n)
        return;
    out.reserve(out.size() + (n - ascii) * 3);
    for (std::size_t i = ascii; i < n; ++i) {
        char32_t c = s[i];
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
            continue;
        }
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < n && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (s[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD;
        }
        if (c < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        } else if (c < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (c >> 12)));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (c >> 18)));
            out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        }
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

} // namespace

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
    const auto* text = static_cast<const char16_t*>(sqlite3_column_text16(statement_, index));
    if (!text)
        return std::nullopt;
    // The length must be asked after the text: it is the length of the UTF-16 form just made.
    const auto units = static_cast<std::size_t>(sqlite3_column_bytes16(statement_, index)) / 2;
    std::string out;
    ToUtf8(out, text, units);
    return out;
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

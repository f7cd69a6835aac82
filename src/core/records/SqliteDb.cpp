#include "core/records/SqliteDb.h"

#include "core/records/SqliteError.h"

#include <climits>
#include <sqlite3.h>

namespace orva {

namespace {

// SQLite re-prepares a statement whose schema changed by itself; this bounds the wrapper's own retry
// on top of that so a schema that keeps changing cannot spin forever.
constexpr int kSchemaRetries = 8;

// UTF-8 to UTF-16 (native order) for the open call; malformed bytes become U+FFFD.
std::u16string Utf8ToUtf16(const std::string& in) {
    std::u16string out;
    out.reserve(in.size());
    const auto* s = reinterpret_cast<const unsigned char*>(in.data());
    const std::size_t n = in.size();
    std::size_t i = 0;
    while (i < n) {
        const unsigned char c = s[i];
        char32_t cp = 0xFFFD;
        std::size_t len = 1;
        auto cont = [&](std::size_t k) { return i + k < n && (s[i + k] & 0xC0) == 0x80; };
        if (c < 0x80) {
            cp = c;
        } else if (c >= 0xC2 && c <= 0xDF && cont(1)) {
            cp = ((c & 0x1Fu) << 6) | (s[i + 1] & 0x3Fu);
            len = 2;
        } else if (c >= 0xE0 && c <= 0xEF && cont(1) && cont(2)) {
            const char32_t v = ((c & 0x0Fu) << 12) | ((s[i + 1] & 0x3Fu) << 6) | (s[i + 2] & 0x3Fu);
            if (v >= 0x800 && (v < 0xD800 || v > 0xDFFF)) {
                cp = v;
                len = 3;
            }
        } else if (c >= 0xF0 && c <= 0xF4 && cont(1) && cont(2) && cont(3)) {
            const char32_t v =
                ((c & 0x07u) << 18) | ((s[i + 1] & 0x3Fu) << 12) | ((s[i + 2] & 0x3Fu) << 6) | (s[i + 3] & 0x3Fu);
            if (v >= 0x10000 && v <= 0x10FFFF) {
                cp = v;
                len = 4;
            }
        }
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp));
        }
        i += len;
    }
    return out;
}

void Bind(sqlite3* db, sqlite3_stmt* statement, const SqliteParams& params) {
    if (sqlite3_bind_parameter_count(statement) != static_cast<int>(params.size()))
        throw SqliteError(SqliteError::WrapperError, "Wrong number of bound values");
    for (std::size_t i = 0; i < params.size(); ++i) {
        const int index = static_cast<int>(i) + 1;
        const SqliteValue& value = params[i];
        int rc = SQLITE_OK;
        if (const auto* text = std::get_if<std::string>(&value))
            rc = sqlite3_bind_text64(statement, index, text->data(), text->size(), SQLITE_TRANSIENT, SQLITE_UTF8);
        else if (const auto* number = std::get_if<std::int64_t>(&value))
            rc = sqlite3_bind_int64(statement, index, *number);
        else if (const auto* real = std::get_if<double>(&value))
            rc = sqlite3_bind_double(statement, index, *real);
        else
            rc = sqlite3_bind_null(statement, index);
        if (rc != SQLITE_OK)
            throw SqliteError(rc, sqlite3_errmsg(db));
    }
}

} // namespace

SqliteDb::~SqliteDb() {
    try {
        close();
    } catch (const SqliteError&) {
    }
}

void SqliteDb::open(const std::string& path) {
    close();
    const std::u16string widePath = Utf8ToUtf16(path);
    sqlite3* db = nullptr;
    const int rc = sqlite3_open16(widePath.c_str(), &db);
    if (rc != SQLITE_OK) {
        const std::string detail = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
        sqlite3_close(db);
        throw SqliteError(rc, detail);
    }
    db_ = db;
    sqlite3_busy_timeout(db_, busyWait_);
}

void SqliteDb::close() {
    if (!db_)
        return;
    // close_v2: a query object still alive keeps the connection as a zombie until it is finalized,
    // instead of leaving it with a dangling handle.
    const int rc = sqlite3_close_v2(db_);
    if (rc != SQLITE_OK) {
        const std::string detail = sqlite3_errmsg(db_);
        throw SqliteError(rc, detail);
    }
    db_ = nullptr;
}

void SqliteDb::setBusyWait(int milliseconds) {
    busyWait_ = milliseconds;
    if (db_)
        sqlite3_busy_timeout(db_, busyWait_);
}

std::string SqliteDb::errorMessage() const {
    return db_ ? sqlite3_errmsg(db_) : "Database not open";
}

void SqliteDb::requireOpen() const {
    if (!db_)
        throw SqliteError(SqliteError::WrapperError, "Database not open");
}

sqlite3_stmt* SqliteDb::prepare(const std::string& sql, const SqliteParams& params) {
    sqlite3_stmt* statement = nullptr;
    const int rc = sqlite3_prepare_v2(db_, sql.c_str(), static_cast<int>(sql.size()), &statement, nullptr);
    if (rc != SQLITE_OK)
        throw SqliteError(rc, sqlite3_errmsg(db_));
    if (!statement)
        throw SqliteError(SqliteError::WrapperError, "Empty statement");
    try {
        Bind(db_, statement, params);
    } catch (...) {
        sqlite3_finalize(statement);
        throw;
    }
    return statement;
}

void SqliteDb::execute(const std::string& sql, const SqliteParams& params) {
    requireOpen();
    for (int attempt = 0;; ++attempt) {
        sqlite3_stmt* statement = prepare(sql, params);
        const int rc = sqlite3_step(statement);
        if (rc == SQLITE_ERROR) {
            // The text must be taken before the finalize, which may leave a plainer one behind.
            const std::string detail = sqlite3_errmsg(db_);
            sqlite3_finalize(statement);
            throw SqliteError(SQLITE_ERROR, detail);
        }
        const int finalRc = sqlite3_finalize(statement);
        if (finalRc == SQLITE_SCHEMA && attempt < kSchemaRetries)
            continue;
        if (finalRc != SQLITE_OK)
            throw SqliteError(finalRc, sqlite3_errmsg(db_));
        if (rc != SQLITE_DONE && rc != SQLITE_ROW)
            throw SqliteError(rc, sqlite3_errmsg(db_));
        return;
    }
}

SqliteQuery SqliteDb::query(const std::string& sql, const SqliteParams& params) {
    requireOpen();
    for (int attempt = 0;; ++attempt) {
        sqlite3_stmt* statement = prepare(sql, params);
        const int rc = sqlite3_step(statement);
        if (rc == SQLITE_ROW || rc == SQLITE_DONE)
            return SqliteQuery(db_, statement, rc == SQLITE_DONE, true);
        const std::string detail = sqlite3_errmsg(db_);
        const int finalRc = sqlite3_finalize(statement);
        if (finalRc == SQLITE_SCHEMA && attempt < kSchemaRetries)
            continue;
        throw SqliteError(finalRc != SQLITE_OK ? finalRc : rc, detail);
    }
}

int SqliteDb::queryInt(const std::string& sql, const SqliteParams& params) {
    SqliteQuery q = query(sql, params);
    if (q.atEnd() || q.columnCount() < 1)
        throw SqliteError(SqliteError::WrapperError, "Invalid scalar query");
    return LeadingInt(q.columnText(0));
}

bool SqliteDb::inTransaction() const {
    requireOpen();
    return sqlite3_get_autocommit(db_) == 0;
}

std::int64_t SqliteDb::lastInsertId() const {
    requireOpen();
    return sqlite3_last_insert_rowid(db_);
}

bool SqliteDb::hasTable(const std::string& name) {
    return queryInt("select count(*) from sqlite_master where type='table' and name=?", {name}) > 0;
}

} // namespace orva

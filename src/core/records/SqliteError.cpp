#include "core/records/SqliteError.h"

#include <array>

namespace orva {

namespace {

// Primary result codes 0..25 in numeric order. Later codes (26 SQLITE_NOTADB and up) deliberately
// fall under "UNKNOWN_ERROR": the names the technician may see are fixed.
constexpr std::array<const char*, 26> kNames = {
    "SQLITE_OK",       "SQLITE_ERROR",      "SQLITE_INTERNAL", "SQLITE_PERM",      "SQLITE_ABORT", "SQLITE_BUSY",
    "SQLITE_LOCKED",   "SQLITE_NOMEM",      "SQLITE_READONLY", "SQLITE_INTERRUPT", "SQLITE_IOERR", "SQLITE_CORRUPT",
    "SQLITE_NOTFOUND", "SQLITE_FULL",       "SQLITE_CANTOPEN", "SQLITE_PROTOCOL",  "SQLITE_EMPTY", "SQLITE_SCHEMA",
    "SQLITE_TOOBIG",   "SQLITE_CONSTRAINT", "SQLITE_MISMATCH", "SQLITE_MISUSE",    "SQLITE_NOLFS", "SQLITE_AUTH",
    "SQLITE_FORMAT",   "SQLITE_RANGE",
};

} // namespace

SqliteError::SqliteError(int code, const std::string& detail) : code_(code) {
    message_ = std::string(codeName(code)) + "[" + std::to_string(code) + "]: " + detail;
}

SqliteError::~SqliteError() = default;

const char* SqliteError::codeName(int code) {
    if (code >= 0 && code < static_cast<int>(kNames.size()))
        return kNames[static_cast<std::size_t>(code)];
    switch (code) {
    case 100:
        return "SQLITE_ROW";
    case 101:
        return "SQLITE_DONE";
    case WrapperError:
        return "SQLITE_WRAPPER_ERROR";
    default:
        return "UNKNOWN_ERROR";
    }
}

} // namespace orva

#pragma once
// The one exception of the core: every failure of the database wrapper arrives as a SqliteError whose
// message reads "NAME[code]: detail", the form the technician sees in a message box.
#include <exception>
#include <string>

namespace orva {

class SqliteError : public std::exception {
public:
    // The wrapper's own failures (closed database, bad column index, ...).
    static constexpr int WrapperError = 1000;

    explicit SqliteError(int code, const std::string& detail = {});
    SqliteError(const SqliteError&) = default;
    SqliteError& operator=(const SqliteError&) = default;
    virtual ~SqliteError() override;

    int code() const { return code_; }
    const std::string& message() const { return message_; }
    const char* what() const noexcept override { return message_.c_str(); }

    // "SQLITE_OK" ... "SQLITE_RANGE" for 0-25, "SQLITE_ROW", "SQLITE_DONE", "SQLITE_WRAPPER_ERROR",
    // "UNKNOWN_ERROR" for everything else.
    static const char* codeName(int code);

private:
    int code_;
    std::string message_;
};

} // namespace orva

#pragma once
// The rows of one diagnosis log tab: a running number and the item and result texts. The current-log
// tab is cleared at every start; the all-logs tab keeps every run since the tool started. Not locked:
// the session guards its tabs with its own mutex.
#include <string>
#include <vector>

namespace orva {

struct LogRow {
    int number;
    std::string item;
    std::string result;
};

class LogTabRows {
public:
    // Adds a row at the end and returns its number (1 for the first row after a clear).
    int append(const std::string& item, const std::string& result);
    void clear();
    const std::vector<LogRow>& rows() const { return rows_; }

private:
    int counter_ = 0;
    std::vector<LogRow> rows_;
};

} // namespace orva

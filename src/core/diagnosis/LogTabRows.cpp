#include "diagnosis/LogTabRows.h"

namespace orva {

int LogTabRows::append(const std::string& item, const std::string& result) {
    std::lock_guard lock(mutex_);
    ++counter_;
    rows_.push_back({counter_, item, result});
    return counter_;
}

void LogTabRows::clear() {
    std::lock_guard lock(mutex_);
    counter_ = 0;
    rows_.clear();
}

std::vector<LogRow> LogTabRows::rows() const {
    std::lock_guard lock(mutex_);
    return rows_;
}

} // namespace orva

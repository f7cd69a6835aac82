#include "core/diagnosis/LogTabRows.h"

namespace orva {

int LogTabRows::append(const std::string& item, const std::string& result) {
    ++counter_;
    rows_.push_back({counter_, item, result});
    return counter_;
}

void LogTabRows::clear() {
    counter_ = 0;
    rows_.clear();
}

} // namespace orva

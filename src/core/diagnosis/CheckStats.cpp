#include "core/diagnosis/CheckStats.h"

#include "core/diagnosis/CheckItems.h"

#include <string>

namespace orva {

namespace {

// "CPULoadCheck, MemCheck" names two columns; "" names none.
std::vector<std::string> FieldNames(const char* list) {
    std::vector<std::string> names;
    std::string current;
    auto flush = [&] {
        if (!current.empty())
            names.push_back(current);
        current.clear();
    };
    for (const char* p = list; *p; ++p) {
        if (*p == ',')
            flush();
        else if (*p != ' ')
            current += *p;
    }
    flush();
    return names;
}

} // namespace

std::vector<StatsItem> CheckStatsItems() {
    std::vector<StatsItem> items;
    for (const CheckItem& item : CheckItems())
        items.push_back({item.number, CheckItemName(item.number), FieldNames(item.recordField)});
    return items;
}

} // namespace orva

#pragma once
// The check table as the record figures see it: each item's number, its name in the selected language
// and the stored columns that hold its result.
#include "core/records/RecordStats.h"

#include <vector>

namespace orva {

std::vector<StatsItem> CheckStatsItems();

} // namespace orva

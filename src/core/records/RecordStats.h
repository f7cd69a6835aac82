#pragma once
// Figures over the records a log search selects: how many units, how many without a fault, how often
// each check item failed, how often each model had a fault, and how many units a day. Each figure is
// one statement over logs (and faults, where a file has it), so a search of a hundred thousand rows
// is figured by SQLite without the rows ever reaching the caller.
//
// A unit has a fault when faults holds a row for it. A check item was tested for a unit when one of
// its record fields holds a tested value (not NULL, not empty, not "9", and not the value a record
// starts with, such as the load 0.000000 of a resource check that never ran), or when the unit has a
// fault row for the item.
#include "core/records/LogQuery.h"
#include "core/records/SqliteDb.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace orva {

// One check item as the figures need it: its number in faults.Item, its name as shown, and the
// columns of logs that hold its result (none for an item that fills no field).
struct StatsItem {
    int number = 0;
    std::string name;
    std::vector<std::string> fields;
};

struct ItemFigure {
    int number = 0;
    std::string name;
    std::int64_t tested = 0;
    std::int64_t failed = 0;
    // failed / tested; nothing when no unit was tested.
    std::optional<double> rate() const;
};

struct ModelFigure {
    std::string model; // DeviceType as stored ("" for none)
    std::int64_t units = 0;
    std::int64_t withFault = 0;
    std::optional<double> rate() const;
};

struct DayFigure {
    std::string day; // "YYYY-MM-DD"
    std::int64_t units = 0;
};

struct RecordStats {
    std::int64_t units = 0;
    std::int64_t faultless = 0;
    std::vector<ItemFigure> items; // in the order the items were given
    std::vector<ModelFigure> models; // by model name
    std::vector<DayFigure> days;     // oldest first, days with records only
};

// The statements, for a file with or without the faults table. All but the items' bind the condition's
// values; the items' bind what StatsItemsParams lists. The items' statement gives one row per item:
// its position in `items`, units tested, units failed.
std::string StatsSummarySql(const LogCondition& condition, bool withFaults);
std::string StatsItemsSql(const LogCondition& condition, std::span<const StatsItem> items, bool withFaults);
SqliteParams StatsItemsParams(const LogCondition& condition, bool withFaults);
std::string StatsModelsSql(const LogCondition& condition, bool withFaults);
std::string StatsDaysSql(const LogCondition& condition);

// Runs the four statements on `db` (logs must exist; faults may be missing). Throws SqliteError.
RecordStats ComputeRecordStats(SqliteDb& db, const LogFilter& filter, std::span<const StatsItem> items);

} // namespace orva

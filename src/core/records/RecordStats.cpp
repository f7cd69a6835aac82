#include "core/records/RecordStats.h"

#include "core/records/DiagRecord.h"
#include "core/records/RecordFields.h"

#include <exception>
#include <string>

namespace orva {

namespace {

// faults.Item numbers that fit a bit of the 64-bit mask a unit's fault rows are folded into.
constexpr int kFirstMaskItem = 1;
constexpr int kLastMaskItem = 62;

bool InMask(int number) {
    return number >= kFirstMaskItem && number <= kLastMaskItem;
}

// The stored columns an item names that are part of a record (the id and datetime never hold a result).
std::vector<const RecordField*> ResultFields(const StatsItem& item) {
    std::vector<const RecordField*> out;
    for (const std::string& name : item.fields)
        if (const RecordField* field = FindRecordField(name); field && IsRecordPart(*field))
            out.push_back(field);
    return out;
}

// The text a record that never ran the item stores in the field: "9" for a result, "" for a text,
// "0.000000" for a load.
std::string UntestedText(const RecordField& field) {
    return FieldText(field, StoredRecord{});
}

std::string Column(const RecordField& field) {
    return std::string("[") + field.name + "]";
}

// Whether a unit has a fault row; never, in a file without the faults table.
std::string HasFaultExpression(bool withFaults) {
    return withFaults ? "EXISTS (SELECT 1 FROM faults WHERE faults.LogId = logs.id)" : "0";
}

std::int64_t Int64(const SqliteQuery& q, int column) {
    const std::string text = q.columnText(column);
    try {
        return text.empty() ? 0 : std::stoll(text);
    } catch (const std::exception&) {
        return 0;
    }
}

std::optional<double> Ratio(std::int64_t part, std::int64_t whole) {
    if (whole <= 0)
        return std::nullopt;
    return static_cast<double>(part) / static_cast<double>(whole);
}

} // namespace

std::optional<double> ItemFigure::rate() const {
    return Ratio(failed, tested);
}

std::optional<double> ModelFigure::rate() const {
    return Ratio(withFault, units);
}

std::string StatsSummarySql(const LogCondition& condition, bool withFaults) {
    return "SELECT COUNT(*), COALESCE(SUM(NOT " + HasFaultExpression(withFaults) + "), 0) FROM logs WHERE " +
           condition.where;
}

std::string StatsItemsSql(const LogCondition& condition, std::span<const StatsItem> items, bool withFaults) {
    // Each selected unit is read once: its result columns and the mask of the items its fault rows name
    // (one look-up in faults_LogId). MATERIALIZED keeps SQLite from copying the mask's subquery into every
    // sum that reads it.
    std::vector<std::string> columns;
    auto needColumn = [&](const RecordField& field) {
        const std::string c = Column(field);
        for (const std::string& have : columns)
            if (have == c)
                return;
        columns.push_back(c);
    };
    for (const StatsItem& item : items)
        for (const RecordField* field : ResultFields(item))
            needColumn(*field);

    std::string inner = "SELECT ";
    for (const std::string& c : columns)
        inner += c + ", ";
    if (withFaults)
        inner += "COALESCE((SELECT SUM(DISTINCT 1 << Item) FROM faults WHERE faults.LogId = logs.id AND Item BETWEEN " +
                 std::to_string(kFirstMaskItem) + " AND " + std::to_string(kLastMaskItem) + "), 0) AS mask";
    else
        inner += "0 AS mask";
    inner += " FROM logs WHERE " + condition.where;

    std::string sums;
    for (const StatsItem& item : items) {
        std::string tested;
        for (const RecordField* field : ResultFields(item)) {
            if (!tested.empty())
                tested += " OR ";
            tested += "COALESCE(" + Column(*field) + ", '') NOT IN ('', '9', ?)";
        }
        const std::string bit = InMask(item.number) ? "(mask >> " + std::to_string(item.number) + ") & 1" : "0";
        if (tested.empty())
            tested = bit;
        else
            tested = "(" + tested + ") OR " + bit;
        sums += (sums.empty() ? "" : ", ") + std::string("COALESCE(SUM(") + tested + "), 0), COALESCE(SUM(" + bit +
                "), 0)";
    }
    if (sums.empty())
        sums = "COUNT(*)";
    return "WITH units AS MATERIALIZED (" + inner + ") SELECT " + sums + " FROM units";
}

SqliteParams StatsItemsParams(const LogCondition& condition, std::span<const StatsItem> items) {
    // SQLite numbers "?" in the order of the text: the condition's (inside the CTE) come before the
    // untested texts of the sums.
    SqliteParams params = condition.params;
    for (const StatsItem& item : items)
        for (const RecordField* field : ResultFields(item))
            params.emplace_back(UntestedText(*field));
    return params;
}

std::string StatsModelsSql(const LogCondition& condition, bool withFaults) {
    return "SELECT COALESCE(DeviceType, '') AS model, COUNT(*), COALESCE(SUM(" + HasFaultExpression(withFaults) +
           "), 0) FROM logs WHERE " + condition.where + " GROUP BY model ORDER BY model";
}

std::string StatsDaysSql(const LogCondition& condition) {
    return "SELECT substr(COALESCE(datetime, ''), 1, 10) AS day, COUNT(*) FROM logs WHERE " + condition.where +
           " GROUP BY day ORDER BY day";
}

RecordStats ComputeRecordStats(SqliteDb& db, const LogFilter& filter, std::span<const StatsItem> items) {
    const LogCondition condition = BuildLogCondition(filter);
    // A file from before fault rows were stored has no faults table: none of its units has a fault row.
    const bool withFaults = db.hasTable("faults");
    RecordStats stats;
    {
        SqliteQuery q = db.query(StatsSummarySql(condition, withFaults), condition.params);
        if (!q.atEnd()) {
            stats.units = Int64(q, 0);
            stats.faultless = Int64(q, 1);
        }
    }
    {
        SqliteQuery q = db.query(StatsItemsSql(condition, items, withFaults), StatsItemsParams(condition, items));
        int column = 0;
        for (const StatsItem& item : items) {
            ItemFigure figure{item.number, item.name};
            if (!q.atEnd() && column + 1 < q.columnCount()) {
                figure.tested = Int64(q, column);
                figure.failed = Int64(q, column + 1);
            }
            column += 2;
            stats.items.push_back(std::move(figure));
        }
    }
    for (SqliteQuery q = db.query(StatsModelsSql(condition, withFaults), condition.params); !q.atEnd(); q.nextRow())
        stats.models.push_back({q.columnText(0), Int64(q, 1), Int64(q, 2)});
    for (SqliteQuery q = db.query(StatsDaysSql(condition), condition.params); !q.atEnd(); q.nextRow())
        stats.days.push_back({q.columnText(0), Int64(q, 1)});
    return stats;
}

} // namespace orva

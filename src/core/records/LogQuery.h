#pragma once
// The search of past records: which filter applies, the statement it becomes, and how the found
// texts are shown.
#include "core/records/SqliteDb.h"

#include <string>

namespace orva {

struct LogDate {
    int year = 0;
    int month = 0;
    int day = 0;
};

// The local date of today.
LogDate TodayLogDate();

// The search fields. Only the first non-empty text of serial, deviceType, operatorName is used; when
// all three are empty the rows stored from `from` 00:00:00 to `to` 23:59:59 (both ends included) are.
struct LogFilter {
    std::string serial{};
    std::string deviceType{};
    std::string operatorName{};
    LogDate from{};
    LogDate to{};
};

// A WHERE clause with "?" for every value, and the values.
struct LogCondition {
    std::string where;
    SqliteParams params;
};

LogCondition BuildLogCondition(const LogFilter& filter);
// "YYYY-MM-DD 00:00:00", or "YYYY-MM-DD 23:59:59" for the end of the day.
std::string LogDateText(const LogDate& date, bool endOfDay);
// The whole statement; rows come newest id first, the order in which the page lists them.
std::string LogQuerySql(const LogCondition& condition);

// The title of a result column ("ID", "Mac地址", ...); empty for a name without a title.
std::string LogColumnTitle(const std::string& column);
// What a result cell shows for a stored text: "失败" for "0", "成功" for "1", "未检测" for "9", any
// other text as it is. The page applies it to every cell but a row's first.
std::string LogCellText(const std::string& stored);

} // namespace orva

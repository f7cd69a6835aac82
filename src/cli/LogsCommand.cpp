// orva-cli logs: the search of past records, printed or exported as the log query page shows them.
#include "CliCommon.h"

#include "protocol/ReplyText.h"
#include "records/ExportQueryRows.h"
#include "records/LogQuery.h"
#include "records/RecordStore.h"

#include <nlohmann/json.hpp>

#include <cstdio>
#include <string>

namespace orva::cli {
namespace {

// "YYYY-MM-DD" with a real month and day; anything else is refused rather than guessed.
bool ParseLogDate(const std::string& text, LogDate& date) {
    int y = 0, m = 0, d = 0;
    char tail = 0;
    if (text.size() != 10 || std::sscanf(text.c_str(), "%4d-%2d-%2d%c", &y, &m, &d, &tail) != 3)
        return false;
    if (text[4] != '-' || text[7] != '-' || y < 1 || m < 1 || m > 12 || d < 1 || d > 31)
        return false;
    date = {y, m, d};
    return true;
}

// A column's heading: its title on the page, or the stored name where the page has none.
std::string Heading(const std::string& column) {
    std::string title = LogColumnTitle(column);
    return title.empty() ? column : title;
}

// Rows stored before reply fields were cleaned may hold a gateway's control characters: on a terminal
// they would be obeyed, and a tab or line feed would shift the table's columns and lines.
void PrintTable(const RecordRows& result) {
    std::string line;
    for (size_t i = 0; i < result.columns.size(); ++i)
        line += (i ? "\t" : "") + Heading(result.columns[i]);
    std::printf("%s\n", line.c_str());
    for (const auto& row : result.rows) {
        const std::vector<std::string> cells = QueryRowTexts(row);
        line.clear();
        for (size_t i = 0; i < cells.size(); ++i)
            line += (i ? "\t" : "") + ReplaceControlCharacters(cells[i]);
        std::printf("%s\n", line.c_str());
    }
}

nlohmann::json RowsJson(const RecordRows& result) {
    nlohmann::json rows = nlohmann::json::array();
    for (const auto& row : result.rows) {
        const std::vector<std::string> cells = QueryRowTexts(row);
        nlohmann::json object = nlohmann::json::object();
        for (size_t i = 0; i < result.columns.size() && i < cells.size(); ++i)
            object[Heading(result.columns[i])] = cells[i];
        rows.push_back(std::move(object));
    }
    return rows;
}

} // namespace

int RunLogs(Args& args) {
    bool missing = false;
    LogFilter filter;
    filter.serial = args.take("sn", missing).value_or("");
    filter.deviceType = args.take("device-type", missing).value_or("");
    filter.operatorName = args.take("operator", missing).value_or("");
    std::optional<std::string> from = args.take("from", missing);
    std::optional<std::string> to = args.take("to", missing);
    std::optional<std::string> xls = args.take("xls", missing);
    const bool json = args.takeFlag("json");
    if (missing || !args.rest().empty() || (xls && xls->empty())) {
        std::fprintf(stderr, "usage: orva-cli [--dir DIR] [--user U --password P] logs [--sn X | --device-type X | "
                             "--operator X | --from YYYY-MM-DD --to YYYY-MM-DD] [--json] [--xls FILE]\n");
        return kExitUsage;
    }
    // The page's date fields start at today; a missing end stays today, a missing start too.
    filter.from = TodayLogDate();
    filter.to = filter.from;
    if ((from && !ParseLogDate(*from, filter.from)) || (to && !ParseLogDate(*to, filter.to))) {
        std::fprintf(stderr, "orva-cli: dates are written YYYY-MM-DD\n");
        return kExitUsage;
    }

    std::string operatorName;
    if (int code = EnterTool(operatorName); code >= 0)
        return code;

    RecordStore store;
    if (!store.open("logs")) {
        std::fprintf(stderr, "orva-cli: %s\n", store.lastError().c_str());
        return kExitNotFinished;
    }
    RecordRows result = store.queryLogs(filter);
    if (!store.lastError().empty() && result.columns.empty()) {
        std::fprintf(stderr, "orva-cli: %s\n", store.lastError().c_str());
        return kExitNotFinished;
    }
    store.close();

    if (xls) {
        std::string error;
        if (!ExportQueryRows(*xls, "logs", result, error)) {
            std::fprintf(stderr, "orva-cli: %s\n", error.c_str());
            return kExitNotFinished;
        }
        std::fprintf(stderr, "%zu rows written to %s\n", result.rows.size(), xls->c_str());
    }
    if (json)
        std::printf("%s\n", RowsJson(result).dump(2).c_str());
    else if (!xls)
        PrintTable(result);
    std::fflush(stdout);
    return kExitOk;
}

} // namespace orva::cli

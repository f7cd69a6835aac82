#pragma once
// The search filters of the log query page as options, shared by the commands that read the stored
// records (logs, stats): --sn, --device-type, --operator, --from/--to, one filter at a time.
#include "core/records/LogQuery.h"
#include "core/records/RecordStore.h"

#include <CLI/CLI.hpp>

#include <optional>
#include <string>
#include <vector>

namespace orva::cli {

struct LogFilterOptions {
    std::string serial;
    std::string deviceType;
    std::string operatorName;
    std::string from;
    std::string to;
    std::vector<CLI::Option*> added; // the options, to tell which were given
};

// Adds the filter options to `app`; `options` must outlive the parse.
void AddLogFilterOptions(CLI::App* app, LogFilterOptions& options);
// The footer line that explains them.
extern const char* const kLogFilterFooter;
// After the parse: kExitUsage (and the message) when two filters were given, else nothing.
std::optional<int> CheckOneLogFilter(const LogFilterOptions& options);
// The filter the options say; the dates not given are today's, as on the page.
LogFilter LogFilterOf(const LogFilterOptions& options);
// Enters the tool (the login) and opens the store's logs for reading them: an exit code, after the
// message, when either failed.
std::optional<int> EnterAndOpenLogs(RecordStore& store);

} // namespace orva::cli

#include "cli/LogFilterOptions.h"

#include "cli/CliCommon.h"
#include "cli/OptionChecks.h"

#include <cstdio>

namespace orva::cli {

const char* const kLogFilterFooter = "One filter at a time: --sn, --device-type, --operator, or the days --from/--to.";

void AddLogFilterOptions(CLI::App* app, LogFilterOptions& o) {
    o.added = {
        app->add_option("--sn", o.serial, "records of this serial number")->type_name("SERIAL"),
        app->add_option("--device-type", o.deviceType, "records of this model")->type_name("MODEL"),
        app->add_option("--operator", o.operatorName, "records of this operator")->type_name("NAME"),
        app->add_option("--from", o.from, "first day (default today)")->type_name("YYYY-MM-DD")->check(DateOption()),
        app->add_option("--to", o.to, "last day (default today)")->type_name("YYYY-MM-DD")->check(DateOption()),
    };
}

std::optional<int> CheckOneLogFilter(const LogFilterOptions& o) {
    // The page searches by one thing at a time; a second filter would be dropped without a word.
    std::vector<std::string> given;
    for (CLI::Option* f : o.added)
        if (f->count() > 0 && !(f->get_name() == "--to" && !given.empty() && given.back() == "--from"))
            given.push_back(f->get_name());
    if (given.size() > 1) {
        UsageError(given[0] + " and " + given[1] + " cannot be combined: the search takes one filter at a time");
        return kExitUsage;
    }
    return std::nullopt;
}

LogFilter LogFilterOf(const LogFilterOptions& o) {
    LogFilter filter;
    filter.serial = o.serial;
    filter.deviceType = o.deviceType;
    filter.operatorName = o.operatorName;
    // The page's date fields start at today; a missing end stays today, a missing start too.
    filter.from = TodayLogDate();
    filter.to = filter.from;
    if (!o.from.empty())
        filter.from = ParseLogDate(o.from);
    if (!o.to.empty())
        filter.to = ParseLogDate(o.to);
    return filter;
}

std::optional<int> EnterAndOpenLogs(RecordStore& store) {
    std::string operatorName;
    if (const std::optional<int> code = EnterTool(operatorName))
        return code;
    if (!store.open("logs")) {
        std::fprintf(stderr, "orva-cli: %s\n", store.lastError().c_str());
        return kExitNotFinished;
    }
    return std::nullopt;
}

} // namespace orva::cli

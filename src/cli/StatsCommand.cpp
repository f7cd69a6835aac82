// orva-cli stats: the figures of the statistics window for the records a log search selects.
#include "cli/CliCommon.h"
#include "cli/LogFilterOptions.h"

#include "core/diagnosis/CheckStats.h"
#include "core/protocol/ReplyText.h"
#include "core/records/RecordStatsText.h"
#include "core/records/RecordStore.h"

#include <nlohmann/json.hpp>

#include <cstdio>
#include <memory>
#include <string>

namespace orva::cli {
namespace {

struct StatsOptions {
    LogFilterOptions filter;
    bool json = false;
};

nlohmann::json Rate(std::optional<double> rate) {
    return rate ? nlohmann::json(*rate) : nlohmann::json(nullptr);
}

// Keys are the same whatever the language; only "name" (the check item's) is in the selected one.
nlohmann::json StatsJson(const RecordStats& s) {
    nlohmann::json items = nlohmann::json::array();
    for (const ItemFigure& f : s.items)
        items.push_back({{"item", f.number}, {"name", f.name}, {"tested", f.tested}, {"failed", f.failed},
                         {"rate", Rate(f.rate())}});
    nlohmann::json models = nlohmann::json::array();
    for (const ModelFigure& f : s.models)
        models.push_back({{"model", f.model}, {"units", f.units}, {"withFault", f.withFault}, {"rate", Rate(f.rate())}});
    nlohmann::json days = nlohmann::json::array();
    for (const DayFigure& f : s.days)
        days.push_back({{"day", f.day}, {"units", f.units}});
    return {{"units", s.units}, {"faultless", s.faultless}, {"items", std::move(items)}, {"models", std::move(models)},
            {"days", std::move(days)}};
}

// A stored model name may hold a gateway's control characters: on a terminal they would be obeyed.
void PrintTables(const RecordStats& s) {
    bool first = true;
    for (const StatsTable& table : StatsTables(s)) {
        std::printf("%s%s\n", first ? "" : "\n", table.title.c_str());
        first = false;
        auto print = [](const std::vector<std::string>& cells) {
            std::string line;
            for (std::size_t i = 0; i < cells.size(); ++i)
                line += (i ? "\t" : "") + ReplaceControlCharacters(cells[i]);
            std::printf("%s\n", line.c_str());
        };
        print(table.headings);
        for (const auto& row : table.rows)
            print(row);
    }
}

int RunStats(const StatsOptions& o) {
    const LogFilter filter = LogFilterOf(o.filter);
    RecordStore store;
    if (const std::optional<int> code = EnterAndOpenLogs(store))
        return *code;
    RecordStats stats;
    if (!store.statistics(filter, CheckStatsItems(), stats)) {
        std::fprintf(stderr, "orva-cli: %s\n", store.lastError().c_str());
        return kExitNotFinished;
    }
    store.close();
    if (o.json)
        std::printf("%s\n", StatsJson(stats).dump(2).c_str());
    else
        PrintTables(stats);
    if (stats.units == 0 && !o.json)
        std::fprintf(stderr, "no records\n");
    std::fflush(stdout);
    return kExitOk;
}

} // namespace

Command AddStats(CLI::App& program) {
    auto options = std::make_shared<StatsOptions>();
    CLI::App* app = program.add_subcommand("stats", "Figures of the stored records: failures per check item, "
                                                    "faults per model, units per day");
    AddLogFilterOptions(app, options->filter);
    app->add_flag("--json", options->json,
                  "print one JSON object: units, faultless, items, models, days (rates from 0 to 1, null when "
                  "nothing was tested)");
    app->footer(std::string(kLogFilterFooter) + "\n"
                "A unit has a fault when a fault row was stored for it; a check item counts as tested when its\n"
                "result was recorded or it failed.\n"
                "Exit: 0 done (also with no records), 2 the store failed, 64 usage.");
    return {app, [options] {
                if (const std::optional<int> refused = CheckOneLogFilter(options->filter))
                    return *refused;
                return RunStats(*options);
            }};
}

} // namespace orva::cli

// orva-cli logs: the search of past records, printed or exported as the log query page shows them.
#include "cli/CliCommon.h"
#include "cli/LogFilterOptions.h"
#include "cli/OptionChecks.h"

#include "core/diagnosis/RecordDetails.h"
#include "core/protocol/ReplyText.h"
#include "core/records/ExportQueryRows.h"
#include "core/records/LogQuery.h"
#include "core/records/RecordFields.h"
#include "core/records/RecordStore.h"

#include <nlohmann/json.hpp>

#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace orva::cli {
namespace {

struct LogsOptions {
    LogFilterOptions filter;
    std::string xls;
    bool json = false;
};

// A column's heading: its title on the page, or the stored name where the page has none.
std::string Heading(const std::string& column) {
    std::string title = LogColumnTitle(column);
    return title.empty() ? column : title;
}

// Rows stored before reply fields were cleaned may hold a gateway's control characters: on a terminal
// they would be obeyed, and a tab or line feed would shift the table's columns and lines.
void PrintTable(const RecordRows& result) {
    // A search that found nothing has no columns of its own: the table's are shown.
    std::vector<std::string> columns = result.columns;
    if (columns.empty())
        columns.assign(RecordColumnNames().begin(), RecordColumnNames().end());
    std::string line;
    for (size_t i = 0; i < columns.size(); ++i)
        line += (i ? "\t" : "") + Heading(columns[i]);
    std::printf("%s\n", line.c_str());
    for (const auto& row : result.rows) {
        const std::vector<std::string> cells = QueryRowTexts(row);
        line.clear();
        for (size_t i = 0; i < cells.size(); ++i)
            line += (i ? "\t" : "") + ReplaceControlCharacters(cells[i]);
        std::printf("%s\n", line.c_str());
    }
}

// Each log's faults as "faults" wants them: item number, its name, the fault text.
std::map<int, nlohmann::json> FaultsByLog(const std::vector<LogFault>& faults) {
    std::map<int, nlohmann::json> out;
    for (const LogFault& f : faults) {
        auto [at, added] = out.try_emplace(f.logId, nlohmann::json::array());
        at->second.push_back({{"item", f.fault.item}, {"name", FaultItemName(f.fault.item)}, {"fault", f.fault.text}});
    }
    return out;
}

// Keys are the stored column names and values the stored texts (null for NULL), which a script can
// rely on whatever the language; "labels" has what the page shows for each column, "faults" the faults
// kept with the record (an empty array for none).
nlohmann::json RowsJson(const RecordRows& result, const std::vector<LogFault>& faults) {
    const std::span<const RecordField> fields = RecordFields();
    const std::map<int, nlohmann::json> byLog = FaultsByLog(faults);
    nlohmann::json rows = nlohmann::json::array();
    for (const auto& row : result.rows) {
        nlohmann::json object = nlohmann::json::object();
        nlohmann::json labels = nlohmann::json::object();
        for (size_t i = 0; i < fields.size() && i < row.size(); ++i) {
            object[fields[i].name] = row[i] ? nlohmann::json(*row[i]) : nlohmann::json(nullptr);
            labels[fields[i].name] = row[i] ? FieldLabelText(fields[i], *row[i]) : std::string();
        }
        object["labels"] = std::move(labels);
        const auto found = byLog.find(row.empty() || !row[0] ? 0 : LeadingInt(*row[0]));
        object["faults"] = found == byLog.end() ? nlohmann::json::array() : found->second;
        rows.push_back(std::move(object));
    }
    return rows;
}

int RunLogs(const LogsOptions& o) {
    const LogFilter filter = LogFilterOf(o.filter);

    RecordStore store;
    if (const std::optional<int> code = EnterAndOpenLogs(store))
        return *code;
    RecordRows result = store.queryLogs(filter);
    if (!store.lastError().empty() && result.columns.empty()) {
        std::fprintf(stderr, "orva-cli: %s\n", store.lastError().c_str());
        return kExitNotFinished;
    }
    std::vector<LogFault> faults;
    if (!result.rows.empty() && (o.json || !o.xls.empty())) {
        std::optional<std::vector<LogFault>> read = store.faultsOfLogs(filter);
        if (!read) {
            std::fprintf(stderr, "orva-cli: %s\n", store.lastError().c_str());
            return kExitNotFinished;
        }
        faults = std::move(*read);
    }
    store.close();

    if (!o.xls.empty()) {
        if (const Result<void> saved = ExportQueryRows(o.xls, "logs", result.columns, result.rows, faults, FaultItemName);
            !saved) {
            std::fprintf(stderr, "orva-cli: %s\n", saved.error().c_str());
            return kExitNotFinished;
        }
        std::fprintf(stderr, "%zu rows written to %s\n", result.rows.size(), o.xls.c_str());
    }
    if (o.json)
        // A spoilt file may hold bytes that are no UTF-8: they print as U+FFFD instead of ending the run.
        std::printf("%s\n",
                    RowsJson(result, faults).dump(2, ' ', false, nlohmann::json::error_handler_t::replace).c_str());
    else if (o.xls.empty())
        PrintTable(result);
    if (result.rows.empty() && !o.json)
        std::fprintf(stderr, "no records\n");
    std::fflush(stdout);
    return kExitOk;
}

} // namespace

Command AddLogs(CLI::App& program) {
    auto options = std::make_shared<LogsOptions>();
    CLI::App* app = program.add_subcommand("logs", "List or export the stored records, newest first");
    AddLogFilterOptions(app, options->filter);
    app->add_option("--xls", options->xls, "write the rows to this spreadsheet (.xls)")
        ->type_name("FILE")
        ->check(NotEmpty());
    app->add_flag("--json", options->json,
                  "print a JSON array of records: stored column names and texts, \"labels\" and \"faults\"");
    app->footer(std::string(kLogFilterFooter) + "\n"
                "\"labels\" holds, per column, the words the log query page shows; \"faults\" the faults\n"
                "kept with the record ([{\"item\": N, \"name\": ..., \"fault\": ...}]).\n"
                "--xls adds a sheet of the faults when the rows have any.\n"
                "Exit: 0 done (also with no records), 2 the store or the spreadsheet failed, 64 usage.");
    return {app, [options] {
                if (const std::optional<int> refused = CheckOneLogFilter(options->filter))
                    return *refused;
                return RunLogs(*options);
            }};
}

} // namespace orva::cli

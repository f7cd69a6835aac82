#include "core/records/RecordStatsText.h"

#include "core/app/TextTable.h"

#include <cmath>
#include <cstdio>

namespace orva {

namespace {

std::string Number(std::int64_t n) {
    return std::to_string(n);
}

// A text that came from a record (a model, a check item's name) and not from us.
std::string StoredCell(const std::string& text) {
    if (!text.empty() && (text[0] == '=' || text[0] == '+' || text[0] == '-' || text[0] == '@'))
        return "'" + text;
    return text;
}

std::string CsvField(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos)
        return text;
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"')
            quoted += '"';
        quoted += c;
    }
    return quoted + "\"";
}

std::string CsvLine(const std::vector<std::string>& cells) {
    std::string line;
    for (std::size_t i = 0; i < cells.size(); ++i)
        line += (i ? "," : "") + CsvField(cells[i]);
    return line + "\r\n";
}

} // namespace

std::string RateText(std::optional<double> rate) {
    if (!rate)
        return {};
    char buffer[32];
    // Rounded here rather than by printf, so that the text does not depend on the process locale.
    const long long tenths = std::llround(*rate * 1000.0);
    std::snprintf(buffer, sizeof buffer, "%lld.%lld", tenths / 10, tenths % 10);
    return buffer;
}

std::vector<StatsTable> StatsTables(const RecordStats& stats) {
    std::vector<StatsTable> tables;
    tables.push_back({Text(TextId::StatSummary),
                      {Text(TextId::StatUnits), Text(TextId::StatFaultless)},
                      {{Number(stats.units), Number(stats.faultless)}}});

    StatsTable items{Text(TextId::StatItemsChart),
                     {Text(TextId::StatItemNumber), Text(TextId::StatItemName), Text(TextId::StatTested),
                      Text(TextId::StatFailed), Text(TextId::StatRate)},
                     {}};
    for (const ItemFigure& f : stats.items)
        items.rows.push_back(
            {Number(f.number), StoredCell(f.name), Number(f.tested), Number(f.failed), RateText(f.rate())});
    tables.push_back(std::move(items));

    StatsTable models{Text(TextId::StatModelsChart),
                      {Text(TextId::StatModel), Text(TextId::StatUnits), Text(TextId::StatWithFault),
                       Text(TextId::StatRate)},
                      {}};
    for (const ModelFigure& f : stats.models)
        models.rows.push_back({StoredCell(f.model), Number(f.units), Number(f.withFault), RateText(f.rate())});
    tables.push_back(std::move(models));

    StatsTable days{Text(TextId::StatDaysChart), {Text(TextId::StatDay), Text(TextId::StatUnits)}, {}};
    for (const DayFigure& f : stats.days)
        days.rows.push_back({StoredCell(f.day), Number(f.units)});
    tables.push_back(std::move(days));
    return tables;
}

std::string StatsCsv(const RecordStats& stats) {
    std::string csv = "\xEF\xBB\xBF";
    bool first = true;
    for (const StatsTable& table : StatsTables(stats)) {
        if (!first)
            csv += "\r\n";
        first = false;
        csv += CsvLine({table.title});
        csv += CsvLine(table.headings);
        for (const auto& row : table.rows)
            csv += CsvLine(row);
    }
    return csv;
}

std::string FillText(std::string text, const std::vector<std::string>& values) {
    std::size_t from = 0;
    for (const std::string& value : values) {
        const std::size_t at = text.find("%s", from);
        if (at == std::string::npos)
            break;
        text.replace(at, 2, value);
        from = at + value.size();
    }
    return text;
}

} // namespace orva

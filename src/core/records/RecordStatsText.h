#pragma once
// The record figures as tables of texts in the selected language: what the statistics window saves as
// CSV and what orva-cli stats prints. Both read the same tables, so a file and a terminal never differ.
#include "core/records/RecordStats.h"

#include <optional>
#include <string>
#include <vector>

namespace orva {

struct StatsTable {
    std::string title;
    std::vector<std::string> headings;
    std::vector<std::vector<std::string>> rows;
};

// Summary (units, units with no fault), check items, models, days, in that order.
std::vector<StatsTable> StatsTables(const RecordStats& stats);

// A rate as a percentage with one decimal ("12.5"); "" when there is no rate (nothing was tested).
std::string RateText(std::optional<double> rate);

// The tables as one CSV text (RFC 4180: CRLF line ends, quotes where needed), a blank line between two
// tables, starting with a UTF-8 byte-order mark so that a spreadsheet reads the Chinese texts right. A
// stored text a spreadsheet would take for a formula (=, +, -, @ first) is written with a leading "'".
std::string StatsCsv(const RecordStats& stats);

// "%s" in a text of the table replaced by the values in turn.
std::string FillText(std::string text, const std::vector<std::string>& values);

} // namespace orva

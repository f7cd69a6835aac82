#pragma once
// The export of the log query's result rows: the column titles and cell texts as the log query page
// shows them, in the same spreadsheet form as the record export.
#include "core/records/RecordStore.h"

#include <string>
#include <vector>

namespace orva {

// The texts of one shown row in table order, each as its field is labelled (the id as stored, every
// further cell mapped by LogCellText); a NULL column shows nothing.
std::vector<std::string> QueryRowTexts(const RowTexts& row);

// Writes a sheet named `sheetName` (made valid as ExportSheetName does) whose row 0 holds the titles
// of `columns` (LogColumnTitle; empty for an unknown name) and whose further rows hold `rows` in the
// given order. False with `error` when there are more columns than a sheet holds or the file cannot be
// created or written.
bool ExportQueryRows(const std::string& path, const std::string& sheetName, const std::vector<std::string>& columns,
                     const std::vector<RowTexts>& rows, std::string& error);
bool ExportQueryRows(const std::string& path, const std::string& sheetName, const RecordRows& result,
                     std::string& error);

} // namespace orva

#pragma once
// The export of the log query's result rows: the column titles and cell texts as the log query page
// shows them, in the same spreadsheet form as the record export.
#include "core/app/Result.h"
#include "core/records/RecordStore.h"

#include <functional>
#include <string>
#include <vector>

namespace orva {

// The texts of one shown row in table order, each as its field is labelled (the id as stored, every
// further cell mapped by LogCellText); a NULL column shows nothing.
std::vector<std::string> QueryRowTexts(const RowTexts& row);

// Writes a sheet named `sheetName` (made valid as ExportSheetName does) whose row 0 holds the titles
// of `columns` (LogColumnTitle; empty for an unknown name) and whose further rows hold `rows` in the
// given order. Fails, saying why, when there are more columns than a sheet holds or the file cannot be
// created or written.
Result<void> ExportQueryRows(const std::string& path, const std::string& sheetName,
                             const std::vector<std::string>& columns, const std::vector<RowTexts>& rows);
Result<void> ExportQueryRows(const std::string& path, const std::string& sheetName, const RecordRows& result);

// The name a fault's item is shown with (the check table lives above this library).
using FaultItemNamer = std::function<std::string(int item)>;

// The headings of the faults sheet in the current language: record id, SN, MAC, datetime, item
// number, item name, fault.
std::vector<std::string> FaultSheetHeaders();
// The faults sheet's rows: one per fault whose log is among `rows` (found by the "id" column), in the
// order of `faults`, with that row's id, sn, Mac and datetime as stored. Faults of other logs are left
// out, so the sheet never holds a record the first sheet lacks.
std::vector<std::vector<std::string>> FaultSheetRows(const std::vector<std::string>& columns,
                                                     const std::vector<RowTexts>& rows,
                                                     const std::vector<LogFault>& faults,
                                                     const FaultItemNamer& itemName);

// The same export with a second sheet (named FaultSheetName, made unique beside the first) holding
// FaultSheetRows(); when no shown row has a fault the workbook is the one above.
Result<void> ExportQueryRows(const std::string& path, const std::string& sheetName,
                             const std::vector<std::string>& columns, const std::vector<RowTexts>& rows,
                             const std::vector<LogFault>& faults, const FaultItemNamer& itemName);

} // namespace orva

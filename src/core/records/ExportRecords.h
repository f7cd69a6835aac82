#pragma once
// The export of diagnosis records to an Excel 97-2003 workbook: one sheet named after the operator,
// a header row and one row per record, every cell a text.
#include "core/app/Result.h"
#include "core/records/DiagRecord.h"
#include "core/records/LogQuery.h"

#include <ctime>
#include <string>
#include <vector>

namespace orva {

class RecordStore;
class XlsWorkbook;

// The message shown once the file has been written, in every language.
extern const char* const ExportSavedText; // "Excel文件保存成功!"

// "No", "CheckDate", "SN", ... "WifiCheck".
const std::vector<std::string>& ExportHeaders();

// The cell texts of the record exported as row `number` (1-based) on `date`; an empty text stands
// for an absent cell.
std::vector<std::string> ExportRowTexts(const DiagRecord& record, int number, const LogDate& date);

// "%d%d%d%d%d%d.xls" from year, month, day, hour, minute and second without leading zeros.
std::string ProposedExportFileName(const std::tm& local);
// The same for the local time now.
std::string ProposedExportFileName();

// The sheet name for an operator: the name itself when a spreadsheet program accepts it, otherwise
// with forbidden characters replaced and cut to 31 characters; "Sheet1" for an empty name.
std::string ExportSheetName(const std::string& operatorName);

// Builds the export workbook: create(1), the first sheet renamed for the operator, header row, records
// in list order. More records than one sheet holds continue on further sheets. False when the
// operator's sheet cannot be found after the rename (nothing is to be written then).
bool BuildExportWorkbook(XlsWorkbook& book, const std::string& operatorName, const std::vector<DiagRecord>& records,
                         const LogDate& date);

// Writes the records to `path` as the export does, dated today (or `date`). Fails, saying why, when the
// workbook cannot be built or the file cannot be created or written.
Result<void> ExportRecords(const std::string& path, const std::string& operatorName,
                           const std::vector<DiagRecord>& records);
Result<void> ExportRecords(const std::string& path, const std::string& operatorName,
                           const std::vector<DiagRecord>& records, const LogDate& date);

// The records of the diagnoses stored after the row `logId` of logs, oldest first: with `logId` taken
// from RecordStore::highestLogId() at start-up, the diagnoses finished since the tool started. The
// store must be open on "logs".
std::vector<DiagRecord> RecordsStoredAfter(RecordStore& store, int logId);

} // namespace orva

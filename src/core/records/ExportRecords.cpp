#include "records/ExportRecords.h"

#include "records/ExportSheets.h"
#include "records/RecordStore.h"
#include "records/XlsSheetName.h"
#include "records/XlsWorkbook.h"

namespace orva {

const char* const ExportSavedText = "Excel文件保存成功!";

const std::array<const char*, ExportColumnCount>& ExportHeaders() {
    static const std::array<const char*, ExportColumnCount> headers = {
        "No",         "CheckDate",    "SN",       "SoftwareVersion", "LOIDCheck",
        "PSCheck",    "CPULoadCheck", "MemCheck", "PreConfigCheck",  "DiskIntegrityCheck",
        "DeviceType", "FE1Check",     "FE2Check", "FE3Check",        "FE4Check",
        "POS1Check",  "POS2Check",    "PONCheck", "FlashCheck",      "LEDCheck",
        "USBCheck",   "WifiCheck"};
    return headers;
}

std::vector<std::string> ExportRowTexts(const DiagRecord& r, int number, const LogDate& date) {
    const auto n = [](int v) { return std::to_string(v); };
    return {n(number),
            n(date.year) + "-" + n(date.month) + "-" + n(date.day),
            r.sn,
            r.SoftWareVersionCheck,
            r.LOIDCheck,
            r.PSCheck,
            FormatFixed6(r.CPULoadCheck),
            FormatFixed6(r.MemCheck),
            n(r.PreConfigCheck),
            n(r.DiskIntegrityCheck),
            r.DeviceType,
            n(r.FE1Check),
            n(r.FE2Check),
            n(r.FE3Check),
            n(r.FE4Check),
            n(r.POS1Check),
            n(r.POS2Check),
            n(r.PONCheck),
            n(r.FlashCheck),
            n(r.LEDCheck),
            n(r.USBCheck),
            n(r.WifiCheck)};
}

std::string ProposedExportFileName(const std::tm& t) {
    return std::to_string(t.tm_year + 1900) + std::to_string(t.tm_mon + 1) + std::to_string(t.tm_mday) +
           std::to_string(t.tm_hour) + std::to_string(t.tm_min) + std::to_string(t.tm_sec) + ".xls";
}

std::string ProposedExportFileName() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return ProposedExportFileName(local);
}

std::string ExportSheetName(const std::string& operatorName) {
    return MakeSheetName(operatorName);
}

bool BuildExportWorkbook(XlsWorkbook& book, const std::string& operatorName, const std::vector<DiagRecord>& records,
                         const LogDate& date) {
    book = XlsWorkbook::create(1);
    const std::string name = ExportSheetName(operatorName);
    // An operator named "Sheet1" makes the rename fail, yet the sheet is there under that name.
    book.renameSheet("Sheet1", name);
    if (!book.sheet(name))
        return false;
    const auto& h = ExportHeaders();
    FillExportSheets(book, name, std::vector<std::string>(h.begin(), h.end()), records.size(),
                     [&](std::size_t index, std::vector<std::string>& texts) {
                         texts = ExportRowTexts(records[index], static_cast<int>(index + 1), date);
                     });
    return true;
}

bool ExportRecords(const std::string& path, const std::string& operatorName, const std::vector<DiagRecord>& records,
                   std::string& error) {
    return ExportRecords(path, operatorName, records, TodayLogDate(), error);
}

bool ExportRecords(const std::string& path, const std::string& operatorName, const std::vector<DiagRecord>& records,
                   const LogDate& date, std::string& error) {
    XlsWorkbook book;
    if (!BuildExportWorkbook(book, operatorName, records, date)) {
        error = "no sheet for operator " + operatorName;
        return false;
    }
    if (!book.saveAs(path)) {
        error = book.lastError();
        return false;
    }
    return true;
}

std::vector<DiagRecord> RecordsStoredAfter(RecordStore& store, int logId) {
    std::vector<DiagRecord> records;
    for (StoredRecord& stored : store.logsAfter(logId))
        records.push_back(std::move(stored.record));
    return records;
}

} // namespace orva

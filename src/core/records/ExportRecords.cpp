#include "core/records/ExportRecords.h"

#include "core/app/ClockText.h"
#include "core/records/ExportSheets.h"
#include "core/records/RecordFields.h"
#include "core/records/RecordStore.h"
#include "core/records/XlsSheetName.h"
#include "core/records/XlsWorkbook.h"

#include <algorithm>

namespace orva {

const char* const ExportSavedText = "Excel文件保存成功!";

namespace {

// The export's columns of its own beside the stored fields.
enum class ExportOwn { Field, Number, Date, Loid };

struct ExportColumn {
    int order;
    const char* header;
    ExportOwn own;
    const RecordField* field;
};

const std::vector<ExportColumn>& ExportColumns() {
    static const std::vector<ExportColumn> columns = [] {
        // The LOID is no check's result and the store never keeps it; the export still has its column.
        std::vector<ExportColumn> out = {
            {0, "No", ExportOwn::Number, nullptr},
            {1, "CheckDate", ExportOwn::Date, nullptr},
            {4, "LOIDCheck", ExportOwn::Loid, nullptr},
        };
        for (const RecordField& field : RecordFields())
            if (field.exported.header)
                out.push_back({field.exported.order, field.exported.header, ExportOwn::Field, &field});
        std::stable_sort(out.begin(), out.end(),
                         [](const ExportColumn& a, const ExportColumn& b) { return a.order < b.order; });
        return out;
    }();
    return columns;
}

} // namespace

const std::vector<std::string>& ExportHeaders() {
    static const std::vector<std::string> headers = [] {
        std::vector<std::string> out;
        for (const ExportColumn& column : ExportColumns())
            out.emplace_back(column.header);
        return out;
    }();
    return headers;
}

std::vector<std::string> ExportRowTexts(const DiagRecord& r, int number, const LogDate& date) {
    const auto n = [](int v) { return std::to_string(v); };
    const StoredRecord stored{.record = r, .datetime = {}};
    std::vector<std::string> texts;
    for (const ExportColumn& column : ExportColumns()) {
        switch (column.own) {
        case ExportOwn::Number:
            texts.push_back(n(number));
            break;
        case ExportOwn::Date:
            texts.push_back(n(date.year) + "-" + n(date.month) + "-" + n(date.day));
            break;
        case ExportOwn::Loid:
            texts.push_back(r.LOIDCheck);
            break;
        case ExportOwn::Field:
            texts.push_back(FieldText(*column.field, stored));
            break;
        }
    }
    return texts;
}

std::string ProposedExportFileName(const std::tm& t) {
    return std::to_string(t.tm_year + 1900) + std::to_string(t.tm_mon + 1) + std::to_string(t.tm_mday) +
           std::to_string(t.tm_hour) + std::to_string(t.tm_min) + std::to_string(t.tm_sec) + ".xls";
}

std::string ProposedExportFileName() {
    return ProposedExportFileName(LocalTime(std::time(nullptr)));
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
    FillExportSheets(book, name, ExportHeaders(), records.size(),
                     [&](std::size_t index, std::vector<std::string>& texts) {
                         texts = ExportRowTexts(records[index], static_cast<int>(index + 1), date);
                     });
    return true;
}

Result<void> ExportRecords(const std::string& path, const std::string& operatorName,
                           const std::vector<DiagRecord>& records) {
    return ExportRecords(path, operatorName, records, TodayLogDate());
}

Result<void> ExportRecords(const std::string& path, const std::string& operatorName,
                           const std::vector<DiagRecord>& records, const LogDate& date) {
    XlsWorkbook book;
    if (!BuildExportWorkbook(book, operatorName, records, date))
        return Failure{"no sheet for operator " + operatorName};
    if (!book.saveAs(path))
        return Failure{book.lastError()};
    return {};
}

std::vector<DiagRecord> RecordsStoredAfter(RecordStore& store, int logId) {
    std::vector<DiagRecord> records;
    for (StoredRecord& stored : store.logsAfter(logId))
        records.push_back(std::move(stored.record));
    return records;
}

} // namespace orva

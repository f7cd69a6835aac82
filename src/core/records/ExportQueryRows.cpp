#include "core/records/ExportQueryRows.h"

#include "core/app/LeadingNumber.h"
#include "core/app/TextTable.h"
#include "core/records/ExportSheets.h"
#include "core/records/LogQuery.h"
#include "core/records/RecordFields.h"
#include "core/records/XlsSheetName.h"
#include "core/records/XlsWorkbook.h"

#include <unordered_map>

namespace orva {

std::vector<std::string> QueryRowTexts(const RowTexts& row) {
    std::vector<std::string> texts;
    texts.reserve(row.size());
    const std::span<const RecordField> fields = RecordFields();
    for (std::size_t i = 0; i < row.size(); ++i) {
        if (!row[i])
            texts.emplace_back();
        else if (i < fields.size())
            texts.push_back(FieldLabelText(fields[i], *row[i]));
        else
            texts.push_back(LogCellText(*row[i]));
    }
    return texts;
}

namespace {

Result<void> ExportWorkbook(const std::string& path, const std::string& sheetName,
                            const std::vector<std::string>& columns, const std::vector<RowTexts>& rows,
                            const std::vector<std::vector<std::string>>& faultRows) {
    if (columns.size() > XlsWorksheet::MaxColumns)
        return Failure{"a sheet holds at most " + std::to_string(XlsWorksheet::MaxColumns) + " columns"};
    XlsWorkbook book = XlsWorkbook::create(1);
    const std::string name = MakeSheetName(sheetName);
    book.renameSheet("Sheet1", name);
    std::vector<std::string> titles;
    for (const std::string& column : columns)
        titles.push_back(LogColumnTitle(column));
    FillExportSheets(book, name, titles, rows.size(), [&](std::size_t index, std::vector<std::string>& texts) {
        std::vector<std::string> shown = QueryRowTexts(rows[index]);
        // A row never has more cells than the titles have columns.
        shown.resize(std::min(shown.size(), columns.size()));
        for (std::size_t i = 0; i < shown.size(); ++i)
            texts[i] = std::move(shown[i]);
    });
    if (!faultRows.empty()) {
        // The operator may be called like the sheet: the faults sheet then takes a suffix.
        const std::string wanted = MakeSheetName(Text(TextId::FaultSheetName));
        std::string faultsName = wanted;
        for (int n = 2; !book.addSheet(faultsName); ++n) {
            if (n > 1000)
                return Failure{"no name left for the faults sheet"};
            faultsName = SheetNameWithSuffix(wanted, " (" + std::to_string(n) + ")");
        }
        FillExportSheets(book, faultsName, FaultSheetHeaders(), faultRows.size(),
                         [&](std::size_t index, std::vector<std::string>& texts) { texts = faultRows[index]; });
    }
    if (!book.saveAs(path))
        return Failure{book.lastError()};
    return {};
}

} // namespace

Result<void> ExportQueryRows(const std::string& path, const std::string& sheetName,
                             const std::vector<std::string>& columns, const std::vector<RowTexts>& rows) {
    return ExportWorkbook(path, sheetName, columns, rows, {});
}

Result<void> ExportQueryRows(const std::string& path, const std::string& sheetName, const RecordRows& result) {
    return ExportQueryRows(path, sheetName, result.columns, result.rows);
}

std::vector<std::string> FaultSheetHeaders() {
    std::vector<std::string> headers;
    for (TextId id : {TextId::FaultColRecord, TextId::FaultColSn, TextId::FaultColMac, TextId::FaultColDate,
                      TextId::FaultColItemNumber, TextId::FaultColItem, TextId::FaultColFault})
        headers.push_back(Text(id));
    return headers;
}

std::vector<std::vector<std::string>> FaultSheetRows(const std::vector<std::string>& columns,
                                                     const std::vector<RowTexts>& rows,
                                                     const std::vector<LogFault>& faults,
                                                     const FaultItemNamer& itemName) {
    const auto indexOf = [&](const char* name) {
        const auto at = std::find(columns.begin(), columns.end(), name);
        return at == columns.end() ? std::string::npos : static_cast<std::size_t>(at - columns.begin());
    };
    const std::size_t id = indexOf("id"), sn = indexOf("sn"), mac = indexOf("Mac"), at = indexOf("datetime");
    const auto cell = [](const RowTexts& row, std::size_t i) {
        return i < row.size() && row[i] ? *row[i] : std::string();
    };
    std::vector<std::vector<std::string>> out;
    if (id == std::string::npos)
        return out;
    std::unordered_map<int, std::size_t> rowOfLog;
    for (std::size_t r = 0; r < rows.size(); ++r)
        if (const std::string text = cell(rows[r], id); !text.empty())
            rowOfLog.emplace(LeadingInt(text), r);
    for (const LogFault& f : faults) {
        const auto found = rowOfLog.find(f.logId);
        if (found == rowOfLog.end())
            continue;
        const RowTexts& row = rows[found->second];
        out.push_back({cell(row, id), cell(row, sn), cell(row, mac), cell(row, at), std::to_string(f.fault.item),
                       itemName ? itemName(f.fault.item) : std::string(), f.fault.text});
    }
    return out;
}

Result<void> ExportQueryRows(const std::string& path, const std::string& sheetName,
                             const std::vector<std::string>& columns, const std::vector<RowTexts>& rows,
                             const std::vector<LogFault>& faults, const FaultItemNamer& itemName) {
    return ExportWorkbook(path, sheetName, columns, rows, FaultSheetRows(columns, rows, faults, itemName));
}

} // namespace orva

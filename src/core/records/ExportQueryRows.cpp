#include "core/records/ExportQueryRows.h"

#include "core/records/ExportSheets.h"
#include "core/records/LogQuery.h"
#include "core/records/RecordFields.h"
#include "core/records/XlsSheetName.h"
#include "core/records/XlsWorkbook.h"

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

bool ExportQueryRows(const std::string& path, const std::string& sheetName, const std::vector<std::string>& columns,
                     const std::vector<RowTexts>& rows, std::string& error) {
    if (columns.size() > XlsWorksheet::MaxColumns) {
        error = "a sheet holds at most " + std::to_string(XlsWorksheet::MaxColumns) + " columns";
        return false;
    }
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
    if (!book.saveAs(path)) {
        error = book.lastError();
        return false;
    }
    return true;
}

bool ExportQueryRows(const std::string& path, const std::string& sheetName, const RecordRows& result,
                     std::string& error) {
    return ExportQueryRows(path, sheetName, result.columns, result.rows, error);
}

} // namespace orva

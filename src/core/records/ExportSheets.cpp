#include "core/records/ExportSheets.h"

#include "core/records/XlsSheetName.h"

namespace orva {

namespace {

void WriteRow(XlsWorksheet& sheet, std::uint32_t row, const std::vector<std::string>& texts) {
    for (std::size_t col = 0; col < texts.size(); ++col)
        if (!texts[col].empty())
            sheet.cell(row, static_cast<std::uint32_t>(col)).setText(texts[col]);
}

XlsWorksheet* AddContinuationSheet(XlsWorkbook& book, const std::string& firstName) {
    for (int n = 2;; ++n)
        if (XlsWorksheet* sheet = book.addSheet(SheetNameWithSuffix(firstName, " (" + std::to_string(n) + ")")))
            return sheet;
}

} // namespace

void FillExportSheets(XlsWorkbook& book, const std::string& firstName, const std::vector<std::string>& headers,
                      std::size_t rowCount, const ExportRowSource& source) {
    XlsWorksheet* sheet = book.sheet(firstName);
    if (!sheet)
        return;
    WriteRow(*sheet, 0, headers);
    std::vector<std::string> texts;
    for (std::size_t index = 0; index < rowCount; ++index) {
        const std::size_t inSheet = index % ExportRowsPerSheet;
        if (index > 0 && inSheet == 0) {
            sheet = AddContinuationSheet(book, firstName);
            WriteRow(*sheet, 0, headers);
        }
        texts.assign(headers.size(), std::string());
        source(index, texts);
        WriteRow(*sheet, static_cast<std::uint32_t>(inSheet + 1), texts);
    }
}

} // namespace orva

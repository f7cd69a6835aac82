#pragma once
// Lays a header row and data rows out over as many sheets as they need: a sheet holds the header and
// up to 65,535 data rows, and each further sheet repeats the header under the first sheet's name with
// " (2)", " (3)", ... behind it.
#include "core/records/XlsWorkbook.h"

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace orva {

constexpr std::size_t ExportRowsPerSheet = XlsWorksheet::MaxRows - 1;

// Fills row `index` (0-based) of the data: one text per column, an empty text leaves its cell empty.
using ExportRowSource = std::function<void(std::size_t index, std::vector<std::string>& texts)>;

// `firstName` names the workbook's existing sheet that takes the header and the first rows.
void FillExportSheets(XlsWorkbook& book, const std::string& firstName, const std::vector<std::string>& headers,
                      std::size_t rowCount, const ExportRowSource& source);

} // namespace orva

#pragma once
// The cells of one worksheet, addressed by 0-based row and column.
#include "core/records/XlsCell.h"

#include <cstdint>
#include <functional>
#include <map>
#include <utility>
#include <vector>

namespace orva {

class XlsWorksheet {
public:
    // The grid a BIFF8 sheet can address; texts outside it make the workbook unsavable.
    static constexpr std::uint32_t MaxRows = 65536;
    static constexpr std::uint32_t MaxColumns = 256;

    // The cell there, created on first use.
    XlsCell& cell(std::uint32_t row, std::uint32_t column);
    // The cell there if it was ever created, else none.
    const XlsCell* find(std::uint32_t row, std::uint32_t column) const;

    // Highest row / column index of a cell holding text, plus one (0 when the sheet holds no text).
    std::uint32_t rowCount() const;
    std::uint32_t columnCount() const;
    // Lowest row / column index of a cell holding text (0 when the sheet holds no text).
    std::uint32_t firstRow() const;
    std::uint32_t firstColumn() const;
    // True when some text lies outside MaxRows x MaxColumns.
    bool hasTextOutsideGrid() const;

    // Calls `visit` for every cell holding text inside the grid, in row and then column order.
    void forEachText(const std::function<void(std::uint32_t row, std::uint32_t column, const XlsCell&)>& visit) const;
    // The rows that hold text inside the grid, ascending.
    std::vector<std::uint32_t> usedRows() const;
    // The cells of one row (index = column), or none when the row was never touched.
    const std::vector<XlsCell>* row(std::uint32_t index) const;

private:
    // Rows are sparse, columns within a row dense: exports fill every column of every row.
    std::map<std::uint32_t, std::vector<XlsCell>> rows_;
    // Cells right of the last addressable column, kept only so that saving can refuse them.
    std::map<std::pair<std::uint32_t, std::uint32_t>, XlsCell> outside_;
};

} // namespace orva

#include "core/records/XlsWorksheet.h"

#include <algorithm>

namespace orva {

namespace {

bool RowHasText(const std::vector<XlsCell>& cells) {
    return std::any_of(cells.begin(), cells.end(), [](const XlsCell& c) { return !c.empty(); });
}

} // namespace

XlsCell& XlsWorksheet::cell(std::uint32_t row, std::uint32_t column) {
    if (column >= MaxColumns)
        return outside_[{row, column}];
    auto& cells = rows_[row];
    if (cells.size() <= column)
        cells.resize(column + 1);
    return cells[column];
}

const XlsCell* XlsWorksheet::find(std::uint32_t row, std::uint32_t column) const {
    if (column >= MaxColumns) {
        const auto it = outside_.find({row, column});
        return it == outside_.end() ? nullptr : &it->second;
    }
    const auto it = rows_.find(row);
    if (it == rows_.end() || it->second.size() <= column)
        return nullptr;
    return &it->second[column];
}

std::uint32_t XlsWorksheet::rowCount() const {
    std::uint32_t count = 0;
    for (auto it = rows_.rbegin(); it != rows_.rend(); ++it)
        if (RowHasText(it->second)) {
            count = it->first + 1;
            break;
        }
    for (const auto& [at, c] : outside_)
        if (!c.empty())
            count = std::max(count, at.first + 1);
    return count;
}

std::uint32_t XlsWorksheet::columnCount() const {
    std::uint32_t count = 0;
    for (const auto& [index, cells] : rows_)
        for (std::size_t col = cells.size(); col > count; --col)
            if (!cells[col - 1].empty()) {
                count = static_cast<std::uint32_t>(col);
                break;
            }
    for (const auto& [at, c] : outside_)
        if (!c.empty())
            count = std::max(count, at.second + 1);
    return count;
}

std::uint32_t XlsWorksheet::firstRow() const {
    for (const auto& [index, cells] : rows_)
        if (RowHasText(cells))
            return index;
    return 0;
}

std::uint32_t XlsWorksheet::firstColumn() const {
    std::uint32_t first = MaxColumns;
    for (const auto& [index, cells] : rows_)
        for (std::uint32_t col = 0; col < cells.size() && col < first; ++col)
            if (!cells[col].empty()) {
                first = col;
                break;
            }
    return first == MaxColumns ? 0 : first;
}

bool XlsWorksheet::hasTextOutsideGrid() const {
    for (const auto& [at, c] : outside_)
        if (!c.empty())
            return true;
    for (auto it = rows_.lower_bound(MaxRows); it != rows_.end(); ++it)
        if (RowHasText(it->second))
            return true;
    return false;
}

void XlsWorksheet::forEachText(
    const std::function<void(std::uint32_t row, std::uint32_t column, const XlsCell&)>& visit) const {
    for (auto it = rows_.begin(); it != rows_.end() && it->first < MaxRows; ++it)
        for (std::uint32_t col = 0; col < it->second.size(); ++col)
            if (!it->second[col].empty())
                visit(it->first, col, it->second[col]);
}

std::vector<std::uint32_t> XlsWorksheet::usedRows() const {
    std::vector<std::uint32_t> used;
    for (auto it = rows_.begin(); it != rows_.end() && it->first < MaxRows; ++it)
        if (RowHasText(it->second))
            used.push_back(it->first);
    return used;
}

const std::vector<XlsCell>* XlsWorksheet::row(std::uint32_t index) const {
    const auto it = rows_.find(index);
    return it == rows_.end() ? nullptr : &it->second;
}

} // namespace orva

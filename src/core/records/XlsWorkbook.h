#pragma once
// A workbook of text sheets, saved as an Excel 97-2003 file: a BIFF8 workbook stream inside a
// compound file.
#include "core/app/Result.h"
#include "core/records/XlsWorksheet.h"

#include <memory>
#include <string>
#include <vector>

namespace orva {

class XlsWorkbook {
public:
    XlsWorkbook() = default;

    // A new workbook with that many sheets, named "Sheet1", "Sheet2", ...
    static XlsWorkbook create(int sheets);

    int sheetCount() const { return static_cast<int>(sheets_.size()); }
    std::vector<std::string> sheetNames() const;

    // Renames the sheet named `from`. False when no sheet has that name, when `to` is already a sheet's
    // name (the renamed one's included), when another sheet's name differs from `to` only in ASCII case,
    // or when `to` is no valid sheet name (see XlsSheetName.h).
    bool renameSheet(const std::string& from, const std::string& to);
    // The sheet with exactly that name, or none.
    XlsWorksheet* sheet(const std::string& name);
    const XlsWorksheet* sheet(const std::string& name) const;
    XlsWorksheet& sheetAt(int index) { return sheets_.at(index)->cells; }
    // Appends a sheet; none when the name is invalid or taken (compared as renameSheet does).
    XlsWorksheet* addSheet(const std::string& name);
    // "Sheet%d" with the lowest number not yet taken.
    std::string nextDefaultSheetName() const;
    // True when `name` could be given to a new sheet.
    bool nameAvailable(const std::string& name) const;

    // Writes the workbook to `path`. False when a sheet holds text outside the grid a BIFF8 sheet can
    // address, or the file cannot be created or written; lastError() then says why.
    bool saveAs(const std::string& path);
    const std::string& lastError() const { return lastError_; }

    // The BIFF8 workbook stream saveAs stores, or why it cannot be built.
    Result<std::string> workbookStream() const;

private:
    struct Sheet {
        std::string name;
        XlsWorksheet cells;
    };
    Sheet* find(const std::string& name) const;

    std::vector<std::unique_ptr<Sheet>> sheets_;
    std::string lastError_;
};

} // namespace orva

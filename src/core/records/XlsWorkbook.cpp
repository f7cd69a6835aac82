#include "core/records/XlsWorkbook.h"

#include "core/records/CompoundFileWriter.h"
#include "core/records/XlsSheetName.h"
#include "core/records/XlsWorkbookStream.h"

namespace orva {

XlsWorkbook XlsWorkbook::create(int sheets) {
    XlsWorkbook book;
    for (int i = 0; i < sheets; ++i)
        book.addSheet(book.nextDefaultSheetName());
    return book;
}

std::vector<std::string> XlsWorkbook::sheetNames() const {
    std::vector<std::string> names;
    for (const auto& s : sheets_)
        names.push_back(s->name);
    return names;
}

XlsWorkbook::Sheet* XlsWorkbook::find(const std::string& name) const {
    for (const auto& s : sheets_)
        if (s->name == name)
            return s.get();
    return nullptr;
}

bool XlsWorkbook::renameSheet(const std::string& from, const std::string& to) {
    Sheet* target = find(from);
    if (!target || find(to) || !IsValidSheetName(to))
        return false;
    for (const auto& s : sheets_)
        if (s.get() != target && SameSheetName(s->name, to))
            return false;
    target->name = to;
    return true;
}

XlsWorksheet* XlsWorkbook::sheet(const std::string& name) {
    Sheet* s = find(name);
    return s ? &s->cells : nullptr;
}

const XlsWorksheet* XlsWorkbook::sheet(const std::string& name) const {
    const Sheet* s = find(name);
    return s ? &s->cells : nullptr;
}

bool XlsWorkbook::nameAvailable(const std::string& name) const {
    if (!IsValidSheetName(name))
        return false;
    for (const auto& s : sheets_)
        if (SameSheetName(s->name, name))
            return false;
    return true;
}

XlsWorksheet* XlsWorkbook::addSheet(const std::string& name) {
    if (!nameAvailable(name))
        return nullptr;
    sheets_.push_back(std::make_unique<Sheet>(Sheet{name, {}}));
    return &sheets_.back()->cells;
}

std::string XlsWorkbook::nextDefaultSheetName() const {
    for (int n = 1;; ++n) {
        const std::string name = "Sheet" + std::to_string(n);
        if (nameAvailable(name))
            return name;
    }
}

Result<std::string> XlsWorkbook::workbookStream() const {
    std::vector<XlsSheetView> views;
    for (const auto& s : sheets_) {
        if (s->cells.hasTextOutsideGrid())
            return Failure{"sheet " + s->name + " holds text beyond row " + std::to_string(XlsWorksheet::MaxRows) +
                           " or column " + std::to_string(XlsWorksheet::MaxColumns)};
        views.push_back({s->name, &s->cells});
    }
    return BuildWorkbookStream(views);
}

bool XlsWorkbook::saveAs(const std::string& path) {
    lastError_.clear();
    const Result<std::string> stream = workbookStream();
    if (!stream) {
        lastError_ = stream.error();
        return false;
    }
    const Result<void> written = CompoundFileWriter::write(path, "Workbook", stream.value());
    lastError_ = written.error();
    return written.ok();
}

} // namespace orva

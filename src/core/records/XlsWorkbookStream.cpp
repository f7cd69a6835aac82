#include "core/records/XlsWorkbookStream.h"

#include "core/records/XlsBytes.h"
#include "core/records/XlsSst.h"
#include "core/records/XlsText.h"

namespace orva {

namespace {

namespace R = XlsRecord;

constexpr std::uint16_t GlobalsType = 0x0005;
constexpr std::uint16_t WorksheetType = 0x0010;
constexpr std::uint32_t RowsPerBlock = 32;
constexpr std::size_t RowRecordSize = 4 + 16;
constexpr std::uint16_t Window2Options = 0x06B6;
constexpr std::uint16_t SelectedBit = 0x0200;

void WriteBof(XlsBytes& out, std::uint16_t type) {
    const std::size_t r = out.beginRecord(R::Bof);
    out.put16(0x0600); // BIFF8
    out.put16(type);
    out.put16(6560);   // build
    out.put16(1997);   // year
    out.put32(0xC0C9); // file history flags
    out.put32(0x306);  // lowest version that can read the file
    out.endRecord(r);
}

void WriteEof(XlsBytes& out) {
    out.endRecord(out.beginRecord(R::Eof));
}

void WriteWindow1(XlsBytes& out) {
    const std::size_t r = out.beginRecord(R::Window1);
    for (const std::uint16_t v : {120, 120, 15135, 9300, 0x0038, 0, 0, 1, 600})
        out.put16(v);
    out.endRecord(r);
}

void WriteFont(XlsBytes& out) {
    const std::size_t r = out.beginRecord(R::Font);
    out.put16(200);    // height in twentieths of a point
    out.put16(0);      // options
    out.put16(0x7FFF); // colour: the window text colour
    out.put16(400);    // weight: normal
    out.put16(0);      // escapement
    out.put8(0);       // underline
    out.put8(0);       // family
    out.put8(0);       // character set
    out.put8(0);       // reserved
    const std::u16string name = u"Arial";
    out.put8(static_cast<std::uint8_t>(name.size()));
    out.put8(0x01); // UTF-16
    out.putUtf16(name, 0, name.size());
    out.endRecord(r);
}

void WriteXf(XlsBytes& out) {
    const std::size_t r = out.beginRecord(R::Xf);
    out.put16(0);      // font
    out.put16(0);      // number format
    out.put16(0xFFF5); // type and protection
    out.put8(0x20);    // alignment
    out.put8(0);       // rotation
    out.put8(0);       // indent and shrink
    out.put8(0);       // used-attribute flags
    out.put32(0);      // border lines
    out.put32(0);      // border colours
    out.put16(0x20C0); // pattern colours
    out.endRecord(r);
}

void WriteStyle(XlsBytes& out) {
    const std::size_t r = out.beginRecord(R::Style);
    out.put16(0x8000); // built-in style, XF 0
    out.put8(0);       // built-in style "Normal"
    out.put8(0xFF);    // outline level: none
    out.endRecord(r);
}

// Returns the position of the sheet-offset field to fill in once the sheet's BOF is placed.
std::size_t WriteBoundSheet(XlsBytes& out, const std::string& name) {
    const std::size_t r = out.beginRecord(R::BoundSheet);
    const std::size_t offsetField = out.size();
    out.put32(0);
    out.put8(0); // visible
    out.put8(0); // worksheet
    std::u16string units = Utf8ToUtf16(name);
    units.resize(Utf16CutLength(units, 255));
    out.put8(static_cast<std::uint8_t>(units.size()));
    // The 8-bit form where every character fits one byte, the UTF-16 form for any other name.
    if (FitsCompressed(units)) {
        out.put8(0x00);
        out.putCompressed(units);
    } else {
        out.put8(0x01);
        out.putUtf16(units, 0, units.size());
    }
    out.endRecord(r);
    return offsetField;
}

// Cells of one row that hold text, in column order, with their SST indexes.
struct CellRef {
    std::uint32_t row;
    std::uint16_t column;
    std::uint32_t sst;
};

void WriteWorksheet(XlsBytes& out, const XlsWorksheet& cells, const std::vector<CellRef>& refs, bool first) {
    const std::vector<std::uint32_t> rows = cells.usedRows();
    const std::uint32_t columns = cells.columnCount();
    const std::uint32_t firstRow = rows.empty() ? 0 : rows.front();
    const std::uint32_t rowEnd = rows.empty() ? 0 : rows.back() + 1;

    // Blocks of up to 32 rows by row number; a block is written only when one of its rows has text.
    std::vector<std::pair<std::size_t, std::size_t>> blocks; // [begin, end) into rows
    for (std::size_t i = 0; i < rows.size();) {
        std::size_t j = i;
        while (j < rows.size() && rows[j] / RowsPerBlock == rows[i] / RowsPerBlock)
            ++j;
        blocks.emplace_back(i, j);
        i = j;
    }

    WriteBof(out, WorksheetType);

    std::size_t r = out.beginRecord(R::Index);
    out.put32(0);
    out.put32(firstRow);
    out.put32(rowEnd);
    out.put32(0);
    const std::size_t dbCellOffsets = out.size();
    for (std::size_t b = 0; b < blocks.size(); ++b)
        out.put32(0);
    out.endRecord(r);

    r = out.beginRecord(R::Dimensions);
    out.put32(firstRow);
    out.put32(rowEnd);
    out.put16(static_cast<std::uint16_t>(rows.empty() ? 0 : cells.firstColumn()));
    out.put16(static_cast<std::uint16_t>(columns));
    out.put16(0);
    out.endRecord(r);

    std::size_t ref = 0;
    for (std::size_t b = 0; b < blocks.size(); ++b) {
        const auto [begin, end] = blocks[b];
        const std::size_t firstRowRecord = out.size();
        for (std::size_t i = begin; i < end; ++i) {
            r = out.beginRecord(R::Row);
            out.put16(static_cast<std::uint16_t>(rows[i]));
            out.put16(0);
            out.put16(static_cast<std::uint16_t>(columns));
            out.put16(255); // height
            out.put16(0);
            out.put16(0);
            out.put32(0); // option flags
            out.endRecord(r);
        }
        std::vector<std::size_t> firstCells;
        for (std::size_t i = begin; i < end; ++i) {
            firstCells.push_back(out.size());
            for (; ref < refs.size() && refs[ref].row == rows[i]; ++ref) {
                r = out.beginRecord(R::LabelSst);
                out.put16(static_cast<std::uint16_t>(refs[ref].row));
                out.put16(refs[ref].column);
                out.put16(0); // XF
                out.put32(refs[ref].sst);
                out.endRecord(r);
            }
        }
        const std::size_t dbCell = out.size();
        out.patch32(dbCellOffsets + 4 * b, static_cast<std::uint32_t>(dbCell));
        r = out.beginRecord(R::DbCell);
        out.put32(static_cast<std::uint32_t>(dbCell - firstRowRecord));
        // The first row's cells are found from the end of the block's first ROW record, every further
        // row's from the previous row's first cell.
        std::size_t from = firstRowRecord + RowRecordSize;
        for (const std::size_t at : firstCells) {
            out.put16(static_cast<std::uint16_t>(at - from));
            from = at;
        }
        out.endRecord(r);
    }

    r = out.beginRecord(R::Window2);
    out.put16(first ? Window2Options : static_cast<std::uint16_t>(Window2Options & ~SelectedBit));
    out.put16(0);  // top row
    out.put16(0);  // left column
    out.put16(64); // grid colour index
    for (int i = 0; i < 5; ++i)
        out.put16(0);
    out.endRecord(r);

    WriteEof(out);
}

} // namespace

std::string BuildWorkbookStream(const std::vector<XlsSheetView>& sheets) {
    // The texts in the order the cells are written, which is also the order of first use.
    XlsSst sst;
    std::vector<std::vector<CellRef>> refs(sheets.size());
    for (std::size_t s = 0; s < sheets.size(); ++s)
        sheets[s].cells->forEachText([&](std::uint32_t row, std::uint32_t column, const XlsCell& cell) {
            refs[s].push_back({row, static_cast<std::uint16_t>(column), sst.add(cell.text())});
        });

    XlsBytes out;
    const std::size_t cellCount = sst.totalCount();
    out.reserve(1024 + cellCount * 14 + cellCount / 32 * 80);

    WriteBof(out, GlobalsType);
    WriteWindow1(out);
    for (int i = 0; i < 4; ++i)
        WriteFont(out);
    for (int i = 0; i < 21; ++i)
        WriteXf(out);
    for (int i = 0; i < 6; ++i)
        WriteStyle(out);
    std::vector<std::size_t> sheetOffsetFields;
    for (const XlsSheetView& s : sheets)
        sheetOffsetFields.push_back(WriteBoundSheet(out, s.name));
    sst.write(out);
    WriteEof(out);

    for (std::size_t s = 0; s < sheets.size(); ++s) {
        out.patch32(sheetOffsetFields[s], static_cast<std::uint32_t>(out.size()));
        WriteWorksheet(out, *sheets[s].cells, refs[s], s == 0);
    }
    return out.take();
}

} // namespace orva

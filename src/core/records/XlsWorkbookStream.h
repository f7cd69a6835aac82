#pragma once
// The BIFF8 workbook stream: the workbook globals, then one worksheet substream per sheet.
#include "core/records/XlsWorksheet.h"

#include <string>
#include <vector>

namespace orva {

struct XlsSheetView {
    std::string name;
    const XlsWorksheet* cells;
};

// BIFF8 record ids written.
namespace XlsRecord {
constexpr std::uint16_t Bof = 0x0809;
constexpr std::uint16_t Eof = 0x000A;
constexpr std::uint16_t Window1 = 0x003D;
constexpr std::uint16_t Font = 0x0031;
constexpr std::uint16_t Xf = 0x00E0;
constexpr std::uint16_t Style = 0x0293;
constexpr std::uint16_t BoundSheet = 0x0085;
constexpr std::uint16_t Sst = 0x00FC;
constexpr std::uint16_t Continue = 0x003C;
constexpr std::uint16_t Index = 0x020B;
constexpr std::uint16_t Dimensions = 0x0200;
constexpr std::uint16_t Row = 0x0208;
constexpr std::uint16_t LabelSst = 0x00FD;
constexpr std::uint16_t DbCell = 0x00D7;
constexpr std::uint16_t Window2 = 0x023E;
} // namespace XlsRecord

// Every sheet's texts must lie inside XlsWorksheet's grid (cells outside it are skipped).
std::string BuildWorkbookStream(const std::vector<XlsSheetView>& sheets);

} // namespace orva

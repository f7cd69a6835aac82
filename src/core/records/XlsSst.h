#pragma once
// The workbook's shared string table: every distinct cell text once, in the order of first use.
#include "core/records/XlsBytes.h"

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

namespace orva {

class XlsSst {
public:
    // The longest text a cell can hold (in UTF-16 units); longer texts are cut there, never inside a
    // surrogate pair.
    static constexpr std::size_t MaxTextUnits = 32767;

    // The index of `text` in the table, adding it on first use; every call counts as one cell.
    std::uint32_t add(const std::string& text);

    std::uint32_t totalCount() const { return total_; }
    std::uint32_t uniqueCount() const { return static_cast<std::uint32_t>(texts_.size()); }

    // SST and as many CONTINUE records as the texts need. Each text is a BIFF8 Unicode string in
    // UTF-16 form; a text's header never straddles records, and a text cut by a record boundary goes on
    // after a one-byte option flag at the start of the CONTINUE record.
    void write(XlsBytes& out) const;

private:
    std::unordered_map<std::string, std::uint32_t> index_;
    std::vector<std::u16string> texts_;
    std::uint32_t total_ = 0;
};

} // namespace orva

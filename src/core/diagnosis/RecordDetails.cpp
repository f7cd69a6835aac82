#include "core/diagnosis/RecordDetails.h"

#include "core/app/TextTable.h"
#include "core/diagnosis/CheckItems.h"
#include "core/protocol/ReplyText.h"
#include "core/records/RecordFields.h"

#include <algorithm>
#include <cstdio>

namespace orva {
namespace {

// The text with each "%s" replaced by the next of `values`.
std::string Fill(const std::string& format, std::initializer_list<std::string> values) {
    std::string out;
    auto next = values.begin();
    for (std::size_t i = 0; i < format.size(); ++i) {
        if (format.compare(i, 2, "%s") == 0 && next != values.end()) {
            out += *next++;
            ++i;
        } else {
            out += format[i];
        }
    }
    return out;
}

std::string Numbered(int item, const std::string& name) {
    char number[16];
    std::snprintf(number, sizeof number, "%02d ", item);
    return number + name;
}

// The stored text of column `name`, nullopt when the search has no such column or it is NULL.
std::optional<std::string> Cell(const std::vector<std::string>& columns, const RowTexts& row, const std::string& name) {
    const auto at = std::find(columns.begin(), columns.end(), name);
    const auto index = static_cast<std::size_t>(at - columns.begin());
    if (at == columns.end() || index >= row.size() || !row[index])
        return std::nullopt;
    return row[index];
}

// The item's stored value as the list shows it: its columns' words joined ("CPU / Mem" for the one item
// stored in two), nullopt when the item has no column in the row.
std::optional<std::string> ItemValue(const CheckItem& item, const std::vector<std::string>& columns,
                                     const RowTexts& row) {
    std::optional<std::string> value;
    std::string names = item.recordField;
    for (std::size_t start = 0; start < names.size();) {
        std::size_t end = names.find(',', start);
        if (end == std::string::npos)
            end = names.size();
        std::string name = names.substr(start, end - start);
        name.erase(0, name.find_first_not_of(' '));
        start = end + 1;
        const RecordField* field = FindRecordField(name);
        const std::optional<std::string> stored = Cell(columns, row, name);
        if (!field || !stored)
            continue;
        value = (value ? *value + " / " : std::string()) + ReplaceControlCharacters(FieldLabelText(*field, *stored));
    }
    return value;
}

} // namespace

std::string FaultItemName(int item) {
    if (item < 1 || item > kCheckItemCount)
        return "#" + std::to_string(item);
    return CheckItemName(item);
}

std::string NoRecordSelectedText() {
    return Text(TextId::DetailsNoSelection);
}

std::string RecordDetailsText(const std::vector<std::string>& columns, const RowTexts& row,
                              const std::optional<std::vector<RecordFault>>& faults, const std::string& readError) {
    std::string text =
        Fill(Text(TextId::DetailsRecord), {ReplaceControlCharacters(Cell(columns, row, "id").value_or("")),
                                           ReplaceControlCharacters(Cell(columns, row, "sn").value_or(""))});
    // The faults first: they are what the pane is opened for, and the checks run on below them.
    text += "\n\n" + Text(TextId::DetailsFaults) + "\n";
    if (!faults) {
        text += "  " + Fill(Text(TextId::DetailsFaultsUnread), {ReplaceControlCharacters(readError)}) + "\n";
    } else if (faults->empty()) {
        text += "  " + Text(TextId::DetailsNoFaults) + "\n";
    } else {
        for (const RecordFault& fault : *faults)
            text += "  " + Numbered(fault.item, FaultItemName(fault.item)) + ": " +
                    ReplaceControlCharacters(fault.text) + "\n";
    }
    text += "\n" + Text(TextId::DetailsChecks) + "\n";
    for (const CheckItem& item : CheckItems())
        if (const std::optional<std::string> value = ItemValue(item, columns, row))
            text += "  " + Numbered(item.number, CheckItemName(item.number)) + ": " + *value + "\n";
    return text;
}

} // namespace orva

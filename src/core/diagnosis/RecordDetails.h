#pragma once
// What the log query page shows of one stored record beside the list: its checks as the list words
// their stored values, and the faults kept with it. Also the item names the faults are shown with
// wherever a stored fault is read (the page, orva-cli logs, the faults sheet of the export).
#include "core/records/DiagRecord.h"

#include <optional>
#include <string>
#include <vector>

namespace orva {

// The current name of check item `item`; "#N" for a number outside the check table (a file written by
// something else), never the name of another item.
std::string FaultItemName(int item);

// The pane's text for the shown row `row` of a search whose columns are `columns`: a heading with the
// record's id and serial number, then the faults ("NN name: fault") or the words for none, then every
// check item that has a stored column ("NN name: value", the value as the list shows it). `faults`
// is nullopt when they could not be read; `readError` then says why. Texts from the file have their
// control characters replaced, so a spoilt row cannot break the pane's lines.
std::string RecordDetailsText(const std::vector<std::string>& columns, const RowTexts& row,
                              const std::optional<std::vector<RecordFault>>& faults, const std::string& readError = {});

// The pane's text while no row is selected.
std::string NoRecordSelectedText();

} // namespace orva

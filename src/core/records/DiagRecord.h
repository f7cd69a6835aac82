#pragma once
// One finished diagnosis, and its form as a row of the tables logs and uploads.
#include "core/app/LeadingNumber.h"
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace orva {

// Check results.
constexpr int CheckFailed = 0;
constexpr int CheckPassed = 1;
constexpr int CheckNotTested = 9;

// A check that failed in a run: the item's number (1..22, the check table's order) and the fault text
// the run showed for it, in the language of the run. The result columns cannot tell a failure from a
// check that never ran (both may be 9), so the faults are kept beside them.
struct RecordFault {
    int item = 0;
    std::string text;

    bool operator==(const RecordFault&) const = default;
};

struct DiagRecord {
    std::string Operator;
    std::string Mac;
    std::string sn;
    std::string DeviceType;
    int FE1Check = CheckNotTested;
    int FE2Check = CheckNotTested;
    int FE3Check = CheckNotTested;
    int FE4Check = CheckNotTested;
    int POS1Check = CheckNotTested;
    int POS2Check = CheckNotTested;
    int PONCheck = CheckNotTested;
    int FlashCheck = CheckNotTested;
    int LEDCheck = CheckNotTested;
    int USBCheck = CheckNotTested;
    int WifiCheck = CheckNotTested;
    std::string SoftWareVersionCheck;
    // Never filled by a check and never stored; only the spreadsheet export writes it (empty).
    std::string LOIDCheck;
    std::string PSCheck;
    float CPULoadCheck = 0;
    float MemCheck = 0;
    int PreConfigCheck = CheckNotTested;
    int DiskIntegrityCheck = CheckNotTested;
    // In the order found. Stored in the table faults beside the logs row only (never in uploads, never
    // in the report); a record read back from a row alone has none.
    std::vector<RecordFault> faults;

    bool operator==(const DiagRecord&) const = default;
};

// The columns of logs and uploads, in table order (note Mac before Operator): the rows of
// RecordFields().
extern const int RecordColumnCount;
std::span<const char* const> RecordColumnNames();

// The texts stored for the record's own columns (everything but id and datetime), in table order:
// results "%d", loads "%f".
std::vector<std::string> RecordColumnTexts(const DiagRecord& record);
// "%f" without depending on the process locale (a GUI may have set a decimal comma).
std::string FormatFixed6(float value);

// The texts of one stored row in column order; a NULL column has no text.
using RowTexts = std::vector<std::optional<std::string>>;

struct StoredRecord {
    int id = 0;
    DiagRecord record;
    std::string datetime;
};

// Rebuilds a record from a stored row by column position in table order: numbers are read from their leading
// characters (0 when there are none); missing columns keep the record's initial values; any text
// is accepted.
StoredRecord RecordFromRow(const RowTexts& row);

} // namespace orva

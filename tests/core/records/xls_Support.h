#pragma once
// Readers for what the spreadsheet writer produces: a compound file parsed back by hand, the BIFF
// records of a workbook stream, and the workbook as python3-xlrd reads it.
#include "core/records/DiagRecord.h"
#include "core/records/LogQuery.h"

#include <cstdint>
#include <string>
#include <tuple>
#include <vector>

namespace orva::test {

std::uint16_t Get16(const std::string& bytes, std::size_t at);
std::uint32_t Get32(const std::string& bytes, std::size_t at);

struct CfbEntry {
    std::string name; // ASCII names only
    std::uint8_t type = 0;
    std::uint8_t colour = 0;
    std::uint32_t left = 0, right = 0, child = 0;
    std::uint32_t start = 0;
    std::uint32_t size = 0;
};

// A compound file taken apart; `problems` lists every rule the file breaks (empty when sound).
struct CfbFile {
    std::vector<std::string> problems;
    std::uint32_t fatSectors = 0;
    std::uint32_t difatSectors = 0;
    std::uint32_t miniFatSectors = 0;
    std::uint32_t firstDirectory = 0;
    std::vector<std::uint32_t> fatSectorList; // from the header and the DIFAT chain
    std::vector<std::uint32_t> fat;
    std::vector<CfbEntry> entries;
    std::vector<std::uint32_t> streamSectors; // the chain of the stream (regular or mini sectors)
    bool streamInMini = false;
    std::string stream; // the first stream's bytes
};
CfbFile ParseCompoundFile(const std::string& file);

struct BiffRecord {
    std::uint16_t id = 0;
    std::size_t offset = 0; // of the record header in the stream
    std::string data;
};
// All records of the stream in order; stops at a record running past the end (recorded as id 0xFFFF).
std::vector<BiffRecord> ParseBiff(const std::string& stream);

// The workbook as xlrd reads it.
struct XlrdSheet {
    std::string name;
    int nrows = 0;
    int ncols = 0;
    int nonText = 0; // cells xlrd did not read as text or empty
    std::vector<std::vector<std::string>> cells;
};
struct XlrdBook {
    bool ok = false;
    std::string error;
    std::vector<XlrdSheet> sheets;
};
XlrdBook ReadWithXlrd(const std::string& path);

} // namespace orva::test

namespace orva::test {

// A workbook stream taken apart record by record, with every inconsistency found listed in `problems`.
struct BiffSheetInfo {
    std::string name;
    std::uint32_t bofOffset = 0;
    std::vector<std::uint16_t> ids; // record ids of the substream in order
    std::uint32_t indexFirstRow = 0, indexRowEnd = 0;
    std::vector<std::uint32_t> dbCellOffsets; // from INDEX
    std::uint32_t dimFirstRow = 0, dimRowEnd = 0;
    std::uint16_t dimFirstCol = 0, dimColEnd = 0;
    int dbCells = 0;
    std::uint16_t window2Options = 0;
    // (row, column) -> text, from the LABELSST records and the SST.
    std::vector<std::tuple<int, int, std::string>> cells;
};
struct BiffBook {
    std::vector<std::string> problems;
    std::vector<std::uint16_t> globalIds;
    std::vector<BiffRecord> globals;
    std::uint32_t sstTotal = 0;
    std::uint32_t sstUnique = 0;
    int sstContinues = 0;
    std::vector<std::string> sst;
    std::vector<BiffSheetInfo> sheets;
};
BiffBook AnalyseWorkbook(const std::string& stream);

std::string Utf16LeToUtf8(const std::string& bytes);

} // namespace orva::test

namespace orva::test {

// Exports in the tests are made on this day, under the export sheet's own heading row.
inline const LogDate kExportDate{2024, 3, 5};
inline const std::vector<std::string> kExportHeaders = {
    "No",         "CheckDate",    "SN",       "SoftwareVersion", "LOIDCheck",
    "PSCheck",    "CPULoadCheck", "MemCheck", "PreConfigCheck",  "DiskIntegrityCheck",
    "DeviceType", "FE1Check",     "FE2Check", "FE3Check",        "FE4Check",
    "POS1Check",  "POS2Check",    "PONCheck", "FlashCheck",      "LEDCheck",
    "USBCheck",   "WifiCheck"};

// A finished diagnosis with a value of every kind: marks passed and failed, texts, the two loads.
DiagRecord ExportRecord(const std::string& sn, const std::string& type = "HG8245", const std::string& ps = "ok",
                        const std::string& version = "V1.0.2");

// `unit` `count` times over.
std::string Repeat(const std::string& unit, int count);

} // namespace orva::test

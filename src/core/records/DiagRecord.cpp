#include "records/DiagRecord.h"

#include "records/SqliteDb.h"

#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <locale.h>

namespace orva {

namespace {

// The eleven hardware results in column order (columns 5..15).
constexpr std::array<int DiagRecord::*, 11> kHardware = {
    &DiagRecord::FE1Check,  &DiagRecord::FE2Check,  &DiagRecord::FE3Check,  &DiagRecord::FE4Check,
    &DiagRecord::POS1Check, &DiagRecord::POS2Check, &DiagRecord::PONCheck,  &DiagRecord::FlashCheck,
    &DiagRecord::LEDCheck,  &DiagRecord::USBCheck,  &DiagRecord::WifiCheck,
};

} // namespace

const std::array<const char*, RecordColumnCount>& RecordColumnNames() {
    static constexpr std::array<const char*, RecordColumnCount> names = {
        "id",
        "Mac",
        "Operator",
        "sn",
        "DeviceType",
        "FE1Check",
        "FE2Check",
        "FE3Check",
        "FE4Check",
        "POS1Check",
        "POS2Check",
        "PONCheck",
        "FlashCheck",
        "LEDCheck",
        "USBCheck",
        "WifiCheck",
        "SoftWareVersionCheck",
        "PSCheck",
        "CPULoadCheck",
        "MemCheck",
        "PreConfigCheck",
        "DiskIntegrityCheck",
        "datetime",
    };
    return names;
}

std::string FormatFixed6(float value) {
    char buffer[400];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, static_cast<double>(value), std::chars_format::fixed, 6);
    return std::string(buffer, result.ptr);
}

std::vector<std::string> RecordColumnTexts(const DiagRecord& r) {
    std::vector<std::string> texts;
    texts.reserve(21);
    texts.push_back(r.Mac);
    texts.push_back(r.Operator);
    texts.push_back(r.sn);
    texts.push_back(r.DeviceType);
    for (auto field : kHardware)
        texts.push_back(std::to_string(r.*field));
    texts.push_back(r.SoftWareVersionCheck);
    texts.push_back(r.PSCheck);
    texts.push_back(FormatFixed6(r.CPULoadCheck));
    texts.push_back(FormatFixed6(r.MemCheck));
    texts.push_back(std::to_string(r.PreConfigCheck));
    texts.push_back(std::to_string(r.DiskIntegrityCheck));
    return texts;
}

StoredRecord RecordFromRow(const RowTexts& row) {
    StoredRecord out;
    auto has = [&](std::size_t i) { return i < row.size(); };
    auto text = [&](std::size_t i) { return i < row.size() && row[i] ? *row[i] : std::string(); };
    if (has(0))
        out.id = LeadingInt(text(0));
    if (has(1))
        out.record.Mac = text(1);
    if (has(2))
        out.record.Operator = text(2);
    if (has(3))
        out.record.sn = text(3);
    if (has(4))
        out.record.DeviceType = text(4);
    for (std::size_t k = 0; k < kHardware.size(); ++k)
        if (has(5 + k))
            out.record.*kHardware[k] = LeadingInt(text(5 + k));
    if (has(16))
        out.record.SoftWareVersionCheck = text(16);
    if (has(17))
        out.record.PSCheck = text(17);
    if (has(18))
        out.record.CPULoadCheck = LeadingFloat(text(18));
    if (has(19))
        out.record.MemCheck = LeadingFloat(text(19));
    if (has(20))
        out.record.PreConfigCheck = LeadingInt(text(20));
    if (has(21))
        out.record.DiskIntegrityCheck = LeadingInt(text(21));
    if (has(22))
        out.datetime = text(22);
    return out;
}

} // namespace orva

#include "core/records/RecordFields.h"

#include "core/app/LeadingNumber.h"
#include "core/records/LogQuery.h"

#include <array>

namespace orva {

namespace {

constexpr const char* kShortText = "VARCHAR (64)";
constexpr const char* kLongText = "VARCHAR (128)";

constexpr std::array kRecordFields = std::to_array<RecordField>({
    {.name = "id",
     .sqlType = "INTEGER PRIMARY KEY AUTOINCREMENT UNIQUE",
     .member = &StoredRecord::id,
     .title = "ID",
     .label = FieldLabel::AsStored},
    {.name = "Mac",
     .sqlType = kShortText,
     .member = &DiagRecord::Mac,
     .title = "Mac地址",
     .report = {ReportSection::SoftWare, 1, "MAC"}},
    {.name = "Operator",
     .sqlType = kLongText,
     .member = &DiagRecord::Operator,
     .title = "操作员",
     .report = {ReportSection::Device, 0, "Operator"},
     .tightComma = true},
    {.name = "sn",
     .sqlType = kLongText,
     .member = &DiagRecord::sn,
     .title = "序列号",
     .report = {ReportSection::Device, 1, "SN"},
     .exported = {2, "SN"}},
    {.name = "DeviceType",
     .sqlType = kLongText,
     .member = &DiagRecord::DeviceType,
     .title = "设备类型",
     .report = {ReportSection::Device, 2, "DeviceType"},
     .exported = {10, "DeviceType"}},
    {.name = "FE1Check",
     .sqlType = kShortText,
     .member = &DiagRecord::FE1Check,
     .title = "FE1测试",
     .report = {ReportSection::HardWare, 0, "FE1Check"},
     .exported = {11, "FE1Check"}},
    {.name = "FE2Check",
     .sqlType = kShortText,
     .member = &DiagRecord::FE2Check,
     .title = "FE2测试",
     .report = {ReportSection::HardWare, 1, "FE2Check"},
     .exported = {12, "FE2Check"}},
    {.name = "FE3Check",
     .sqlType = kShortText,
     .member = &DiagRecord::FE3Check,
     .title = "FE3测试",
     .report = {ReportSection::HardWare, 2, "FE3Check"},
     .exported = {13, "FE3Check"}},
    {.name = "FE4Check",
     .sqlType = kShortText,
     .member = &DiagRecord::FE4Check,
     .title = "FE4测试",
     .report = {ReportSection::HardWare, 3, "FE4Check"},
     .exported = {14, "FE4Check"}},
    {.name = "POS1Check",
     .sqlType = kShortText,
     .member = &DiagRecord::POS1Check,
     .title = "POS1测试",
     .report = {ReportSection::HardWare, 4, "POS1Check"},
     .exported = {15, "POS1Check"}},
    {.name = "POS2Check",
     .sqlType = kShortText,
     .member = &DiagRecord::POS2Check,
     .title = "POS2测试",
     .report = {ReportSection::HardWare, 5, "POS2Check"},
     .exported = {16, "POS2Check"}},
    {.name = "PONCheck",
     .sqlType = kShortText,
     .member = &DiagRecord::PONCheck,
     .title = "上行链路测试",
     .report = {ReportSection::HardWare, 6, "PONCheck"},
     .exported = {17, "PONCheck"}},
    {.name = "FlashCheck",
     .sqlType = kShortText,
     .member = &DiagRecord::FlashCheck,
     .title = "Flash测试",
     .report = {ReportSection::HardWare, 7, "FlashCheck"},
     .exported = {18, "FlashCheck"}},
    {.name = "LEDCheck",
     .sqlType = kShortText,
     .member = &DiagRecord::LEDCheck,
     .title = "LED测试",
     .report = {ReportSection::HardWare, 8, "LEDCheck"},
     .exported = {19, "LEDCheck"}},
    {.name = "USBCheck",
     .sqlType = kShortText,
     .member = &DiagRecord::USBCheck,
     .title = "USB测试",
     .report = {ReportSection::HardWare, 9, "USBCheck"},
     .exported = {20, "USBCheck"}},
    {.name = "WifiCheck",
     .sqlType = kShortText,
     .member = &DiagRecord::WifiCheck,
     .title = "Wifi测试",
     .report = {ReportSection::HardWare, 10, "WifiCheck"},
     .exported = {21, "WifiCheck"}},
    {.name = "SoftWareVersionCheck",
     .sqlType = kShortText,
     .member = &DiagRecord::SoftWareVersionCheck,
     .title = "软件版本号",
     .report = {ReportSection::SoftWare, 0, "SoftWareVersionCheck"},
     .exported = {3, "SoftwareVersion"}},
    {.name = "PSCheck",
     .sqlType = kShortText,
     .member = &DiagRecord::PSCheck,
     .title = "关键进程测试",
     .report = {ReportSection::SoftWare, 2, "PSCheck"},
     .exported = {5, "PSCheck"}},
    {.name = "CPULoadCheck",
     .sqlType = kShortText,
     .member = &DiagRecord::CPULoadCheck,
     .title = "CPU使用",
     .report = {ReportSection::SoftWare, 3, "CPULoadCheck"},
     .exported = {6, "CPULoadCheck"}},
    {.name = "MemCheck",
     .sqlType = kShortText,
     .member = &DiagRecord::MemCheck,
     .title = "Mem使用",
     .report = {ReportSection::SoftWare, 4, "MemCheck"},
     .exported = {7, "MemCheck"}},
    {.name = "PreConfigCheck",
     .sqlType = kShortText,
     .member = &DiagRecord::PreConfigCheck,
     .title = "预配置检测",
     .report = {ReportSection::SoftWare, 5, "PreConfigCheck"},
     .exported = {8, "PreConfigCheck"}},
    {.name = "DiskIntegrityCheck",
     .sqlType = kShortText,
     .member = &DiagRecord::DiskIntegrityCheck,
     .title = "磁盘一致性检查",
     .report = {ReportSection::SoftWare, 6, "DiskIntegrityCheck"},
     .exported = {9, "DiskIntegrityCheck"}},
    {.name = "datetime", .sqlType = kShortText, .member = &StoredRecord::datetime, .title = "日期"},
});

template <class... F> struct FieldVisitor : F... { using F::operator()...; };
// Spelled out: not every compiler we build with deduces an aggregate's template arguments by itself.
template <class... F> FieldVisitor(F...) -> FieldVisitor<F...>;

} // namespace

const int RecordColumnCount = static_cast<int>(kRecordFields.size());

std::span<const RecordField> RecordFields() {
    return kRecordFields;
}

const RecordField* FindRecordField(const std::string& name) {
    for (const RecordField& field : kRecordFields)
        if (name == field.name)
            return &field;
    return nullptr;
}

bool IsKeyField(const RecordField& field) {
    return std::holds_alternative<int StoredRecord::*>(field.member);
}

bool IsRecordPart(const RecordField& field) {
    return !std::holds_alternative<int StoredRecord::*>(field.member) &&
           !std::holds_alternative<std::string StoredRecord::*>(field.member);
}

std::string FieldText(const RecordField& field, const StoredRecord& s) {
    return std::visit(FieldVisitor{
                          [&](std::string DiagRecord::*m) { return s.record.*m; },
                          [&](int DiagRecord::*m) { return std::to_string(s.record.*m); },
                          [&](float DiagRecord::*m) { return FormatFixed6(s.record.*m); },
                          [&](int StoredRecord::*m) { return std::to_string(s.*m); },
                          [&](std::string StoredRecord::*m) { return s.*m; },
                      },
                      field.member);
}

void SetFieldFromText(const RecordField& field, StoredRecord& s, const std::optional<std::string>& stored) {
    const std::string text = stored.value_or(std::string());
    std::visit(FieldVisitor{
                   [&](std::string DiagRecord::*m) { s.record.*m = text; },
                   [&](int DiagRecord::*m) { s.record.*m = LeadingInt(text); },
                   [&](float DiagRecord::*m) { s.record.*m = LeadingFloat(text); },
                   [&](int StoredRecord::*m) { s.*m = LeadingInt(text); },
                   [&](std::string StoredRecord::*m) { s.*m = text; },
               },
               field.member);
}

std::string FieldLabelText(const RecordField& field, const std::string& stored) {
    return field.label == FieldLabel::AsStored ? stored : LogCellText(stored);
}

} // namespace orva

#include "core/records/DiagRecord.h"

#include "core/records/RecordFields.h"

#include <charconv>
#include <vector>

namespace orva {

std::span<const char* const> RecordColumnNames() {
    static const std::vector<const char*> names = [] {
        std::vector<const char*> out;
        for (const RecordField& field : RecordFields())
            out.push_back(field.name);
        return out;
    }();
    return names;
}

std::string FormatFixed6(float value) {
    char buffer[400];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, static_cast<double>(value), std::chars_format::fixed, 6);
    return std::string(buffer, result.ptr);
}

std::vector<std::string> RecordColumnTexts(const DiagRecord& record) {
    const StoredRecord stored{.record = record, .datetime = {}};
    std::vector<std::string> texts;
    for (const RecordField& field : RecordFields())
        if (IsRecordPart(field))
            texts.push_back(FieldText(field, stored));
    return texts;
}

StoredRecord RecordFromRow(const RowTexts& row) {
    StoredRecord out;
    const std::span<const RecordField> fields = RecordFields();
    for (std::size_t i = 0; i < row.size() && i < fields.size(); ++i)
        SetFieldFromText(fields[i], out, row[i]);
    return out;
}

} // namespace orva

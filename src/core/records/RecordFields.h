#pragma once
// The columns of logs and uploads, once: what each is called in the file, on the log page, in the
// export and in the report, and which part of a stored record it holds. Everything that writes,
// reads, shows or sends a record walks this table; a new field is one row here and its member in
// DiagRecord.
#include "core/records/DiagRecord.h"

#include <optional>
#include <span>
#include <string>
#include <variant>

namespace orva {

// The part of a stored record a column holds: a text, a check result ("%d"), a load ("%f"), or the
// row's own id and datetime, which the store keeps beside the record.
using RecordMember = std::variant<std::string DiagRecord::*, int DiagRecord::*, float DiagRecord::*,
                                  int StoredRecord::*, std::string StoredRecord::*>;

// How the log page shows a stored text.
enum class FieldLabel {
    AsStored,   // the text itself
    ResultWords // "失败", "成功", "未检测" for "0", "1", "9"; any other text as it is
};

// Where the report document carries a field.
enum class ReportSection { None, Device, HardWare, SoftWare };

struct ReportPlace {
    ReportSection section = ReportSection::None;
    int order = 0; // within the section
    const char* element = nullptr;
};

// The column of the spreadsheet export; a null header for a field the export leaves out.
struct ExportPlace {
    int order = 0;
    const char* header = nullptr;
};

struct RecordField {
    const char* name;    // the column name in the file
    const char* sqlType; // as the CREATE TABLE text has it
    RecordMember member;
    const char* title; // the log page's column title
    FieldLabel label = FieldLabel::ResultWords;
    ReportPlace report = {};
    ExportPlace exported = {};
    // The value an older file's rows get when the column is added to them; null for none (NULL).
    const char* sqlDefault = nullptr;
    // The files in use were created with no space after the comma before this column; a new file's
    // schema text stays the same as theirs.
    bool tightComma = false;
};

// Every column in table order: id first, datetime last.
std::span<const RecordField> RecordFields();
const RecordField* FindRecordField(const std::string& name);

// The key is given by SQLite, never by the store.
bool IsKeyField(const RecordField& field);
// Whether the column holds a part of DiagRecord (not the id or datetime the store keeps).
bool IsRecordPart(const RecordField& field);

// The text the column stores for the record: results "%d", loads "%f" whatever the process locale.
std::string FieldText(const RecordField& field, const StoredRecord& stored);
// Puts a stored text back: numbers from their leading characters (0 when there are none); NULL is
// read as an empty text.
void SetFieldFromText(const RecordField& field, StoredRecord& stored, const std::optional<std::string>& text);
// What the log page shows for the column's stored text.
std::string FieldLabelText(const RecordField& field, const std::string& stored);

} // namespace orva

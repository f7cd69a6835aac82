// A stored row as a damaged or foreign database may hold it (tab-separated columns, "\N" for NULL):
// rebuilt into a record, written back into column texts and rebuilt again, and turned into the
// report document the service receives, which must read back as the record.
#include "FuzzSupport.h"

#include "core/records/DiagRecord.h"
#include "core/records/ReportDocument.h"

#include <string>

namespace {

orva::RowTexts RowFrom(std::string_view input) {
    orva::RowTexts row;
    for (auto& column : orva::fuzz::Split(input, '\t')) {
        if (column == "\\N")
            row.emplace_back(std::nullopt);
        else
            row.emplace_back(std::move(column));
    }
    return row;
}

orva::RowTexts StoredForm(const orva::StoredRecord& stored) {
    orva::RowTexts row;
    row.emplace_back(std::to_string(stored.id));
    for (auto& text : orva::RecordColumnTexts(stored.record))
        row.emplace_back(std::move(text));
    row.emplace_back(stored.datetime);
    return row;
}

// Texts a document is certain to carry unchanged: printable ASCII without blanks at either end.
bool PlainText(const std::string& s) {
    for (const char c : s)
        if (c < 0x20 || c > 0x7E)
            return false;
    return s.empty() || (s.front() != ' ' && s.back() != ' ');
}

std::string ChildText(orva::XmlDocument& doc, const char* name) {
    doc.ResetPosition();
    std::string text;
    if (doc.FindElement("DeviceList") && doc.EnterElement() && doc.FindElement("DeviceDiag") && doc.EnterElement()) {
        if (doc.FindElement(name))
            return doc.GetElementText();
    }
    return "<missing>";
}

void CheckReport(const orva::DiagRecord& record, const std::string& checkDate) {
    const orva::XmlDocument built = orva::buildReportDocument(record, checkDate);
    orva::XmlDocument read;
    FUZZ_CHECK(read.Parse(built.GetText()));
    FUZZ_CHECK(!orva::isAcceptedReply(built.GetText()));
    const std::pair<const char*, const std::string*> texts[] = {{"Operator", &record.Operator},
                                                                {"SN", &record.sn},
                                                                {"DeviceType", &record.DeviceType},
                                                                {"CheckDate", &checkDate}};
    for (const auto& [name, value] : texts)
        if (PlainText(*value))
            FUZZ_CHECK(ChildText(read, name) == *value);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const orva::RowTexts row = RowFrom(orva::fuzz::AsText(data, size));
    const orva::StoredRecord first = orva::RecordFromRow(row);

    // Columns the row does not have keep the record's initial values.
    const orva::DiagRecord initial;
    if (row.size() <= 5)
        FUZZ_CHECK(first.record.FE1Check == initial.FE1Check);
    if (row.size() <= 21)
        FUZZ_CHECK(first.record.DiskIntegrityCheck == initial.DiskIntegrityCheck);
    if (row.size() > 2 && row[2])
        FUZZ_CHECK(first.record.Operator == *row[2]);

    // Storing the record and reading it back keeps every text and result; the loads keep their
    // stored text from the second round on.
    const auto texts = orva::RecordColumnTexts(first.record);
    FUZZ_CHECK(texts.size() == orva::RecordColumnCount - 2);
    const orva::StoredRecord second = orva::RecordFromRow(StoredForm(first));
    FUZZ_CHECK(second.id == first.id);
    FUZZ_CHECK(second.datetime == first.datetime);
    FUZZ_CHECK(second.record.Operator == first.record.Operator);
    FUZZ_CHECK(second.record.Mac == first.record.Mac);
    FUZZ_CHECK(second.record.sn == first.record.sn);
    FUZZ_CHECK(second.record.DeviceType == first.record.DeviceType);
    FUZZ_CHECK(second.record.SoftWareVersionCheck == first.record.SoftWareVersionCheck);
    FUZZ_CHECK(second.record.PSCheck == first.record.PSCheck);
    FUZZ_CHECK(second.record.FE1Check == first.record.FE1Check);
    FUZZ_CHECK(second.record.WifiCheck == first.record.WifiCheck);
    FUZZ_CHECK(second.record.PreConfigCheck == first.record.PreConfigCheck);
    FUZZ_CHECK(second.record.DiskIntegrityCheck == first.record.DiskIntegrityCheck);
    const orva::StoredRecord third = orva::RecordFromRow(StoredForm(second));
    FUZZ_CHECK(orva::RecordColumnTexts(third.record) == orva::RecordColumnTexts(second.record));

    (void)orva::truncatedLoad(first.record.CPULoadCheck);
    (void)orva::truncatedLoad(first.record.MemCheck);
    CheckReport(first.record, first.datetime);
    return 0;
}

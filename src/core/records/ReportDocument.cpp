#include "core/records/ReportDocument.h"

#include "core/records/RecordFields.h"
#include "core/records/RecordStore.h"
#include "core/web/Utf8.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace orva {

int truncatedLoad(float value) {
    if (std::isnan(value))
        return 0;
    const double t = std::trunc(static_cast<double>(value));
    if (t <= static_cast<double>(std::numeric_limits<int>::min()))
        return std::numeric_limits<int>::min();
    if (t >= static_cast<double>(std::numeric_limits<int>::max()))
        return std::numeric_limits<int>::max();
    return static_cast<int>(t);
}

std::string reportText(std::string_view text) {
    const std::string valid = Utf8Sanitize(text);
    std::string out;
    out.reserve(valid.size());
    for (std::size_t i = 0; i < valid.size();) {
        char32_t cp = 0;
        const std::size_t n = DecodeUtf8(valid, i, cp);
        // n is never 0 after Utf8Sanitize; were it, one byte at a time still ends the loop.
        const bool allowed =
            n > 0 && (cp == 0x9 || cp == 0xA || cp == 0xD || (cp >= 0x20 && cp != 0xFFFE && cp != 0xFFFF));
        if (allowed)
            out.append(valid, i, n);
        else
            out += "\xEF\xBF\xBD";
        i += n > 0 ? n : 1;
    }
    return out;
}

XmlDocument buildReportDocument(const DiagRecord& record) {
    return buildReportDocument(record, RecordStore::NowText());
}

namespace {

// The reported fields of one section in their order there.
std::vector<const RecordField*> ReportedIn(ReportSection section) {
    std::vector<const RecordField*> fields;
    for (const RecordField& field : RecordFields())
        if (field.report.section == section)
            fields.push_back(&field);
    std::stable_sort(fields.begin(), fields.end(),
                     [](const RecordField* a, const RecordField* b) { return a->report.order < b->report.order; });
    return fields;
}

// Texts go through reportText; results as numbers, loads truncated to whole numbers.
void AddReportedFields(XmlDocument& doc, ReportSection section, const DiagRecord& r) {
    static const std::vector<const RecordField*> device = ReportedIn(ReportSection::Device);
    static const std::vector<const RecordField*> hardware = ReportedIn(ReportSection::HardWare);
    static const std::vector<const RecordField*> software = ReportedIn(ReportSection::SoftWare);
    const auto& fields = section == ReportSection::Device     ? device
                         : section == ReportSection::HardWare ? hardware
                                                              : software;
    for (const RecordField* field : fields) {
        const char* element = field->report.element;
        if (const auto* text = std::get_if<std::string DiagRecord::*>(&field->member))
            doc.AddChildElement(element, reportText(r.**text));
        else if (const auto* result = std::get_if<int DiagRecord::*>(&field->member))
            doc.AddChildElement(element, r.**result);
        else if (const auto* load = std::get_if<float DiagRecord::*>(&field->member))
            doc.AddChildElement(element, truncatedLoad(r.**load));
    }
}

} // namespace

XmlDocument buildReportDocument(const DiagRecord& r, const std::string& checkDate) {
    XmlDocument doc;
    doc.AddElement("DeviceList");
    doc.AddChildElement("DeviceDiag");
    doc.EnterElement();
    AddReportedFields(doc, ReportSection::Device, r);
    doc.AddChildElement("CheckDate", reportText(checkDate));
    doc.AddChildElement("HardWareDiag");
    doc.EnterElement();
    AddReportedFields(doc, ReportSection::HardWare, r);
    doc.LeaveElement();
    doc.AddChildElement("SoftWareDiag");
    doc.EnterElement();
    AddReportedFields(doc, ReportSection::SoftWare, r);
    doc.LeaveElement();
    doc.LeaveElement();
    return doc;
}

bool isAcceptedReply(const std::string& reply) {
    return reportReplyCode(reply) == "0";
}

std::optional<std::string> reportReplyCode(const std::string& reply) {
    if (reply.empty())
        return std::nullopt;
    XmlDocument doc;
    doc.Parse(reply);
    if (!doc.FindElement("Response") || !doc.EnterElement() || !doc.FindElement("Code"))
        return std::nullopt;
    return doc.GetElementText();
}

} // namespace orva

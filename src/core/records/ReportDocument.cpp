#include "records/ReportDocument.h"

#include "records/RecordStore.h"
#include "web/Utf8.h"

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

XmlDocument buildReportDocument(const DiagRecord& r, const std::string& checkDate) {
    XmlDocument doc;
    doc.AddElement("DeviceList");
    doc.AddChildElement("DeviceDiag");
    doc.EnterElement();
    doc.AddChildElement("Operator", reportText(r.Operator));
    doc.AddChildElement("SN", reportText(r.sn));
    doc.AddChildElement("DeviceType", reportText(r.DeviceType));
    doc.AddChildElement("CheckDate", reportText(checkDate));
    doc.AddChildElement("HardWareDiag");
    doc.EnterElement();
    doc.AddChildElement("FE1Check", r.FE1Check);
    doc.AddChildElement("FE2Check", r.FE2Check);
    doc.AddChildElement("FE3Check", r.FE3Check);
    doc.AddChildElement("FE4Check", r.FE4Check);
    doc.AddChildElement("POS1Check", r.POS1Check);
    doc.AddChildElement("POS2Check", r.POS2Check);
    doc.AddChildElement("PONCheck", r.PONCheck);
    doc.AddChildElement("FlashCheck", r.FlashCheck);
    doc.AddChildElement("LEDCheck", r.LEDCheck);
    doc.AddChildElement("USBCheck", r.USBCheck);
    doc.AddChildElement("WifiCheck", r.WifiCheck);
    doc.LeaveElement();
    doc.AddChildElement("SoftWareDiag");
    doc.EnterElement();
    doc.AddChildElement("SoftWareVersionCheck", reportText(r.SoftWareVersionCheck));
    doc.AddChildElement("MAC", reportText(r.Mac));
    doc.AddChildElement("PSCheck", reportText(r.PSCheck));
    doc.AddChildElement("CPULoadCheck", truncatedLoad(r.CPULoadCheck));
    doc.AddChildElement("MemCheck", truncatedLoad(r.MemCheck));
    doc.AddChildElement("PreConfigCheck", r.PreConfigCheck);
    doc.AddChildElement("DiskIntegrityCheck", r.DiskIntegrityCheck);
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

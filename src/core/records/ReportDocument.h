#pragma once
// The report document: one finished diagnosis in the form the reporting service takes it, and the
// reading of the service's reply.
#include "core/records/DiagRecord.h"
#include "core/web/XmlDocument.h"

#include <optional>
#include <string>
#include <string_view>

namespace orva {

// DeviceList/DeviceDiag with the record's texts and results; CheckDate is the local time of this call.
// Every text goes through reportText, whatever the record holds.
XmlDocument buildReportDocument(const DiagRecord& record);
// The same with a given check date text ("YYYY-MM-DD HH:MM:SS").
XmlDocument buildReportDocument(const DiagRecord& record, const std::string& checkDate);

// True only for a reply document whose top-level Response holds a Code with the text "0". An error
// page, another code or an empty reply is not an acceptance.
bool isAcceptedReply(const std::string& reply);
// The text of that Code; nullopt when the reply is no such document.
std::optional<std::string> reportReplyCode(const std::string& reply);

// A text as the report may carry it: well-formed UTF-8 (each malformed sequence becomes U+FFFD) with
// no character XML 1.0 forbids (C0 controls other than TAB, LF and CR; U+FFFE; U+FFFF), each of
// those also U+FFFD. A strict service refuses a document holding one, and the record would then be
// sent again at every start, forever; rows stored before replies were cleaned may still hold them.
std::string reportText(std::string_view text);

// A load as the service expects it: truncated toward zero. A value the int range cannot hold (a
// damaged stored row) is brought into that range, and NaN gives 0, instead of undefined behaviour.
int truncatedLoad(float value);

} // namespace orva

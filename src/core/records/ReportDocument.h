#pragma once
// The report document: one finished diagnosis in the form the reporting service takes it, and the
// reading of the service's reply.
#include "records/DiagRecord.h"
#include "web/XmlDocument.h"

#include <string>

namespace orva {

// DeviceList/DeviceDiag with the record's texts and results; CheckDate is the local time of this call.
XmlDocument buildReportDocument(const DiagRecord& record);
// The same with a given check date text ("YYYY-MM-DD HH:MM:SS").
XmlDocument buildReportDocument(const DiagRecord& record, const std::string& checkDate);

// True only for a reply document whose top-level Response holds a Code with the text "0". An error
// page, another code or an empty reply is not an acceptance.
bool isAcceptedReply(const std::string& reply);

// A load as the service expects it: truncated toward zero. A value the int range cannot hold (a
// damaged stored row) is brought into that range, and NaN gives 0, instead of undefined behaviour.
int truncatedLoad(float value);

} // namespace orva

#pragma once
// How a check's reply or the technician's answer becomes what the page shows and collects.
#include "core/diagnosis/CheckItems.h"

#include <string>

namespace orva {

class DeviceReply;

struct ItemResult {
    std::string mark;   // column 1 of the item list: "√", "X" or the gateway's own word
    std::string result; // the log tabs' result text
    bool fault = false; // the steps' fault text goes to the results list
};

// `successWord` is the status word of a successful reply on the item's port.
ItemResult JudgeReply(const CheckSteps& steps, const DeviceReply& reply, const std::string& successWord);
ItemResult JudgeAnswer(bool yes);

// The steps' detail text with every "{FIELD}" replaced by the reply's field and "{FIELD|region}" by the
// region that field's code stands for.
std::string ExpandDetail(const std::string& detail, const DeviceReply& reply);

} // namespace orva

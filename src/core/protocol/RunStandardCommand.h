#pragma once
#include "core/protocol/DeviceReply.h"

#include <stop_token>
#include <string>
#include <vector>

namespace orva {

// The exchange shared by the command operations: Transact with wait flag 1 on the process-wide
// channel; a failed exchange puts "RET"="ERROR" and "ERROR"=the error text and gives false;
// otherwise "RET"="SUCC", the reply line (as text: ReplyBytesToText) is parsed on " " and the named
// fields are put in order, stopping with false at the first that is missing.
bool RunStandardCommand(const std::string& command, const std::vector<std::string>& fieldNames, DeviceReply& reply,
                        std::stop_token stop = {});

} // namespace orva

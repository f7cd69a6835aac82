#include "core/protocol/RunStandardCommand.h"

#include "core/protocol/CommandChannel.h"
#include "core/protocol/ReplyFields.h"
#include "core/protocol/ReplyText.h"

namespace orva {

bool RunStandardCommand(const std::string& command, const std::vector<std::string>& fieldNames, DeviceReply& reply,
                        std::stop_token stop) {
    std::string replyText;
    std::string errorText;
    if (CommandChannel::Instance().Transact(command, replyText, errorText, 1, std::move(stop)) < 0) {
        reply.Put("RET", "ERROR");
        reply.Put("ERROR", errorText);
        return false;
    }
    reply.Put("RET", "SUCC");
    ReplyFields fields;
    fields.ParseReplyFields(ReplyBytesToText(replyText), " ");
    for (const auto& name : fieldNames) {
        std::string value;
        if (!fields.Field(name, value))
            return false; // what was put so far stays
        reply.Put(name, value);
    }
    return true;
}

} // namespace orva

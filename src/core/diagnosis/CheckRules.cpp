#include "core/diagnosis/CheckRules.h"

#include "core/app/TextTable.h"
#include "core/diagnosis/RegionTable.h"
#include "core/protocol/DeviceReply.h"

namespace orva {
namespace {

constexpr const char* kPass = "√";
constexpr const char* kFail = "X";
// The status of a request the gateway does not know; only the disk item tells it apart.
constexpr const char* kUnrecognised = "UNRECOGNIZE_REQUEST";

ItemResult Passes(bool pass) {
    return {pass ? kPass : kFail, Text(pass ? TextId::ResultSuccess : TextId::ResultFailure), !pass};
}

std::string Succeeded(const CheckSteps& steps, const DeviceReply& reply) {
    return Text(TextId::ResultSuccess) + ExpandDetail(steps.detail, reply);
}

} // namespace

ItemResult JudgeAnswer(bool yes) {
    return Passes(yes);
}

ItemResult JudgeReply(const CheckSteps& steps, const DeviceReply& reply, const std::string& successWord) {
    const bool success = reply.Get("STATUS") == successWord;
    switch (steps.rule) {
    case ReplyRule::OperatorJudges:
        break;
    case ReplyRule::Status:
        return Passes(success);
    case ReplyRule::StatusAndField:
        return Passes(success && reply.Get(steps.field) == "OK");
    case ReplyRule::FieldOk:
        return Passes(reply.Get(steps.field) == "OK");
    case ReplyRule::StatusWithDetail:
        if (reply.Get("RET") == "ERROR")
            return Passes(false);
        return {success ? kPass : kFail, Succeeded(steps, reply), !success};
    case ReplyRule::ShowsText:
        return {reply.Get(steps.field).empty() ? kFail : kPass, Succeeded(steps, reply), !success};
    case ReplyRule::GatewayWord: {
        const bool refused = reply.Get("STATUS") == kUnrecognised;
        return {refused ? std::string(kFail) : reply.Get(steps.field),
                Text(refused ? TextId::ResultFailure : TextId::ResultSuccess), refused};
    }
    }
    return Passes(false);
}

std::string ExpandDetail(const std::string& detail, const DeviceReply& reply) {
    std::string out;
    size_t at = 0;
    while (at < detail.size()) {
        const size_t open = detail.find('{', at);
        const size_t close = open == std::string::npos ? open : detail.find('}', open);
        if (close == std::string::npos) {
            out += detail.substr(at);
            break;
        }
        out += detail.substr(at, open - at);
        std::string name = detail.substr(open + 1, close - open - 1);
        const size_t bar = name.find('|');
        if (bar == std::string::npos) {
            out += reply.Get(name);
        } else {
            // The one filter there is: a software-area code shown as its region.
            out += RegionName(reply.Get(name.substr(0, bar)));
        }
        at = close + 1;
    }
    return out;
}

} // namespace orva

#include "core/maintenance/RollCall.h"

#include "core/maintenance/ResultLines.h"
#include "core/protocol/CommandChannel.h"
#include "core/protocol/CommandTexts.h"
#include "core/protocol/ReplyFields.h"
#include "core/protocol/ReplyText.h"

#include <algorithm>

namespace orva {

namespace {

std::string Key(const std::string& address, const std::string& serial) {
    std::string key = address;
    key += '\0'; // no dotted address holds it
    key += serial;
    return key;
}

// The selected language's line, the Chinese one while none is selected: a line must never come out blank.
const char* Format(TextId id) {
    const std::string& selected = Text(id);
    return (selected.empty() ? ChineseText(id) : selected).c_str();
}

bool UsableSerial(const std::string& serial) {
    return !serial.empty() && serial.size() <= RollCall::kMaxSerialLength &&
           std::all_of(serial.begin(), serial.end(), [](char c) { return c > 0x20 && c < 0x7f; });
}

} // namespace

int UsableRollCallTime(int seconds) {
    return std::clamp(seconds, 0, kMaxRollCallSeconds);
}

RollCall::Verdict RollCall::add(const std::string& reply, const std::string& source) {
    if (reply.find(kSystemInfoMarker) == std::string::npos) {
        ++ignored_;
        return Verdict::Ignored;
    }
    ReplyFields fields;
    fields.ParseReplyFields(reply, " ");
    std::string serial;
    if (!fields.Field("SN", serial))
        fields.Field("DEVTYPE", serial);
    if (!UsableSerial(serial)) {
        ++ignored_;
        return Verdict::Ignored;
    }
    std::string key = Key(source, serial);
    if (keys_.contains(key))
        return Verdict::Repeat;
    if (gateways_.size() >= kMaxGateways) {
        ++beyond_;
        return Verdict::Beyond;
    }
    keys_.insert(std::move(key));
    gateways_.push_back(KnownGateway{source, std::move(serial)});
    return Verdict::Added;
}

RollCall TakeRollCall(const ExchangeTarget& segment, int seconds, std::stop_token stop) {
    RollCall rollCall;
    seconds = UsableRollCallTime(seconds);
    if (seconds == 0)
        return rollCall;
    ExchangeTarget target = segment.onPort(static_cast<uint16_t>(Info(Command::QuerySystemInfo).gatewayPort));
    target.listenTime = seconds;
    std::string errorText; // a failed start and a silent segment look the same: nobody known
    CommandChannel::Instance().SendAndListen(
        target, CommandText(Command::QuerySystemInfo),
        [&rollCall](const std::string& reply, const ReplySource& from) {
            rollCall.add(ReplyBytesToText(reply), from.address);
        },
        errorText, stop);
    if (stop.stop_requested())
        return RollCall{};
    return rollCall;
}

Attendance::Attendance(const RollCall& rollCall)
    : gateways_(rollCall.gateways()), marked_(rollCall.gateways().size(), false) {
    for (size_t i = 0; i < gateways_.size(); ++i)
        byKey_.emplace(Key(gateways_[i].address, gateways_[i].serial), i);
}

bool Attendance::mark(const std::string& address, const std::string& serial, bool succeeded) {
    size_t index = gateways_.size();
    if (!serial.empty()) {
        if (const auto it = byKey_.find(Key(address, serial)); it != byKey_.end()) {
            index = it->second;
        } else {
            // A known serial from another address: the gateway came back from its restart on another
            // address (a new image may bring its own LAN settings).
            for (size_t i = 0; i < gateways_.size(); ++i)
                if (!marked_[i] && gateways_[i].serial == serial) {
                    index = i;
                    break;
                }
        }
    } else {
        for (size_t i = 0; i < gateways_.size(); ++i)
            if (!marked_[i] && gateways_[i].address == address) {
                index = i;
                break;
            }
    }
    if (index == gateways_.size() || marked_[index])
        return false;
    marked_[index] = true;
    ++answered_;
    if (succeeded)
        ++succeeded_;
    return true;
}

std::vector<KnownGateway> Attendance::silent() const {
    std::vector<KnownGateway> out;
    for (size_t i = 0; i < gateways_.size(); ++i)
        if (!marked_[i])
            out.push_back(gateways_[i]);
    return out;
}

std::vector<std::string> RollCallLines(const RollCall& rollCall) {
    std::vector<std::string> lines;
    if (rollCall.empty())
        return lines;
    for (const KnownGateway& g : rollCall.gateways())
        lines.push_back(FormatText(Format(TextId::RollCallPresent), g.serial.c_str(), g.address.c_str()));
    lines.push_back(FormatText(Format(TextId::RollCallSummary), rollCall.gateways().size()));
    if (rollCall.ignored() > 0)
        lines.push_back(FormatText(Format(TextId::RollCallIgnored), rollCall.ignored()));
    if (rollCall.beyond() > 0)
        lines.push_back(FormatText(Format(TextId::RollCallBeyond), rollCall.beyond(), RollCall::kMaxGateways));
    return lines;
}

std::string NeverAnsweredLine(TextId id, const KnownGateway& gateway) {
    return FormatText(Format(id), gateway.serial.c_str(), gateway.address.c_str());
}

void CountAttendance(const Attendance& attendance, GatewayCount& count) {
    count.known = attendance.known();
    count.knownSucceeded = attendance.succeeded();
    count.neverAnswered = attendance.known() - attendance.answered();
}

} // namespace orva

#include "GatewayModel.h"

#include "protocol/Base64.h"

#include <algorithm>
#include <optional>

namespace orva::sim {
namespace {

constexpr const char* kHardwareSucc = "HG_HARDWARE_DIAG_SUCC";
constexpr const char* kSoftwareSucc = "HG_SOFTWARE_DIAG_SUCC";
constexpr const char* kUnrecognized = "UNRECOGNIZE_REQUEST";

ReplyLine line(std::string status, std::vector<std::pair<std::string, std::string>> fields = {}) {
    return ReplyLine{std::move(status), std::move(fields)};
}

bool isOneOf(const std::string& text, std::initializer_list<const char*> values) {
    return std::any_of(values.begin(), values.end(), [&](const char* v) { return text == v; });
}

// Hardware checks: only the exact texts the tool sends are known; anything else (a missing blank,
// a port number out of range) is refused the way a gateway refuses it.
std::optional<ReplyLine> hardwareReply(const std::string& c) {
    const std::string base = "HG_HARDWARE_DIAG STEP=";
    if (isOneOf(c, {"HG_HARDWARE_DIAG STEP=1 FENUM=1", "HG_HARDWARE_DIAG STEP=1 FENUM=2",
                    "HG_HARDWARE_DIAG STEP=1 FENUM=3", "HG_HARDWARE_DIAG STEP=1 FENUM=4"}))
        return line(kHardwareSucc, {{"STEP", "1"}, {"FESTATUS", "OK"}});
    if (isOneOf(c,
                {"HG_HARDWARE_DIAG STEP=2 METHOD=START", "HG_HARDWARE_DIAG STEP=2 METHOD=STOP",
                 "HG_HARDWARE_DIAG STEP=2 METHOD=RINGON POSNUM=0", "HG_HARDWARE_DIAG STEP=2 METHOD=RINGON POSNUM=1",
                 "HG_HARDWARE_DIAG STEP=2 METHOD=PLAYDTMF POSNUM=0", "HG_HARDWARE_DIAG STEP=2 METHOD=PLAYDTMF POSNUM=1",
                 "HG_HARDWARE_DIAG STEP=2 METHOD=STARTCNGTONE POSNUM=0",
                 "HG_HARDWARE_DIAG STEP=2 METHOD=STARTCNGTONE POSNUM=1",
                 "HG_HARDWARE_DIAG STEP=2 METHOD=STARTCALLLOOP POSNUM=0"}))
        return line(kHardwareSucc, {{"STEP", "2"}});
    if (isOneOf(c, {"HG_HARDWARE_DIAG STEP=3 METHOD=START", "HG_HARDWARE_DIAG STEP=3 METHOD=STOP"}))
        return line(kHardwareSucc, {{"STEP", "3"}});
    if (c == "HG_HARDWARE_DIAG STEP=4")
        return line(kHardwareSucc, {{"STEP", "4"}, {"FLASHUSEAGE", "35"}});
    if (isOneOf(c, {"HG_HARDWARE_DIAG STEP=5  METHOD=ON", "HG_HARDWARE_DIAG STEP=5  METHOD=OFF"}))
        return line(kHardwareSucc, {{"STEP", "5"}});
    if (c == "HG_HARDWARE_DIAG STEP=6")
        return line(kHardwareSucc, {{"STEP", "6"}, {"USBCHECK", "OK"}, {"USBUSAGE", "20"}});
    if (c == "HG_HARDWARE_DIAG STEP=7")
        return line(kHardwareSucc, {{"STEP", "7"}, {"WIFISTATUS", "OK"}});
    return std::nullopt;
}

std::optional<ReplyLine> softwareReply(const std::string& c, const Options& o) {
    if (c == "HG_SOFTWARE_DIAG STEP=1")
        return line(kSoftwareSucc, {{"STEP", "1"}, {"SOFTWAREVERSION", "V1.0.3"}});
    if (c == "HG_SOFTWARE_DIAG STEP=3")
        return line(kSoftwareSucc, {{"STEP", "3"}, {"KEYPROCESSCHECK", "OK"}});
    if (c == "HG_SOFTWARE_DIAG STEP=4")
        return line(kSoftwareSucc, {{"STEP", "4"}, {"CPULOAD", "12"}, {"MEMLOAD", "40"}});
    if (c == "HG_SOFTWARE_DIAG STEP=5")
        return line(kSoftwareSucc, {{"STEP", "5"}, {"AREACHECK", "0"}});
    if (c == "HG_SOFTWARE_DIAG STEP=6")
        return line(kSoftwareSucc, {{"STEP", "6"}, {"INTEGRITYCHECK", "OK"}});
    if (c == "HG_SOFTWARE_DIAG STEP=7")
        return line(kSoftwareSucc, {{"STEP", "7"}, {"DISKCHECK", "OK"}});
    if (c == "CONNECT")
        return line("CONNECT_SUCC");
    if (c == "QUERY_SYSTEM_INFO")
        return line("QUERY_SYSTEM_INFO_SUCC", {{"SWVERSION", "V1.0.3"},
                                               {"HDVERSION", "HW2.0"},
                                               {"PRODUCTCLASS", o.model},
                                               {"CPUCLASS", "BCM6838"},
                                               {"DEVTYPE", o.sn}});
    return std::nullopt;
}

// The answer of gateway k before overrides; nullopt: this command is never answered.
std::optional<ReplyLine> defaultReply(uint16_t port, const std::string& c, const Options& o, int k,
                                      const UpgradeVerdict* upgrade) {
    std::optional<ReplyLine> r;
    switch (port) {
    case kIdentityPort:
        if (c == "HG_REVOCERY_PRECONFIG")
            return line("HG_REVOCERY_PRECONFIG_SUCC", {{"SN", SerialNumber(o, k)}});
        r = softwareReply(c, o);
        break;
    case kHardwarePort:
        r = hardwareReply(c);
        break;
    case kUpgradeQueryPort:
        if (c == "QUERY_UPGRADE_MSG") {
            if (!upgrade)
                return line("UPGRADE_SUCCESS", {{"SN", SerialNumber(o, k)}, {"BUILD_DATE", o.buildDate}});
            ReplyLine judged = line(upgrade->status, {{"SN", SerialNumber(o, k)}});
            if (!upgrade->buildDate.empty())
                judged.set("BUILD_DATE", upgrade->buildDate);
            return judged;
        }
        break;
    default:
        return std::nullopt; // the image port never answers
    }
    if (!r)
        r = line(kUnrecognized);
    return r;
}

// A prefix names whole words: "...METHOD=START" must not also catch "...METHOD=STARTCALLLOOP". A prefix
// that ends in a blank or '=' ("...FENUM=") deliberately covers every value that follows.
bool prefixMatches(const std::string& command, const std::string& prefix) {
    if (!command.starts_with(prefix))
        return false;
    if (command.size() == prefix.size() || prefix.empty())
        return true;
    char last = prefix.back();
    return last == ' ' || last == '=' || command[prefix.size()] == ' ';
}

bool answeredByEveryGateway(uint16_t port, const std::string& c) {
    return (port == kIdentityPort && c == "HG_REVOCERY_PRECONFIG") ||
           (port == kUpgradeQueryPort && c == "QUERY_UPGRADE_MSG");
}

} // namespace

void ReplyLine::set(const std::string& name, const std::string& value) {
    for (auto& [n, v] : fields) {
        if (n == name) {
            v = value;
            return;
        }
    }
    fields.emplace_back(name, value);
}

void ReplyLine::drop(const std::string& name) {
    std::erase_if(fields, [&](const auto& f) { return f.first == name; });
}

std::string ReplyLine::text() const {
    std::string out = status;
    for (const auto& [n, v] : fields) {
        if (!out.empty())
            out += ' ';
        out += n + "=" + v;
    }
    return out;
}

std::string SerialNumber(const Options& options, int k) {
    return k <= 1 ? options.sn : options.sn + "-" + std::to_string(k);
}

std::vector<Answer> AnswerCommand(uint16_t port, const std::string& command, const Options& options,
                                  const std::vector<Override>& overrides, const UpgradeVerdict* upgrade) {
    std::vector<const Override*> matching;
    for (const auto& o : overrides) {
        if (prefixMatches(command, o.prefix))
            matching.push_back(&o);
    }
    std::stable_sort(matching.begin(), matching.end(),
                     [](const Override* a, const Override* b) { return a->prefix.size() < b->prefix.size(); });

    const int count = answeredByEveryGateway(port, command) ? std::max(1, options.gateways) : 1;
    std::vector<Answer> answers;
    for (int k = 1; k <= count; ++k) {
        auto reply = defaultReply(port, command, options, k, upgrade);
        if (!reply)
            continue;
        bool silent = false;
        Answer answer;
        answer.gateway = k;
        std::optional<std::string> raw, payload;
        for (const Override* o : matching) {
            if (o->gateway != 0 && o->gateway != k)
                continue;
            silent = silent || o->noReply;
            if (o->delayMs)
                answer.delayMs = *o->delayMs;
            if (o->status)
                reply->status = *o->status;
            for (const auto& [n, v] : o->fields)
                reply->set(n, v);
            for (const auto& n : o->drop)
                reply->drop(n);
            if (o->raw)
                raw = o->raw;
            if (o->payload)
                payload = o->payload;
        }
        if (silent)
            continue;
        answer.payload = payload ? *payload : Base64Encode(raw ? *raw : reply->text());
        answers.push_back(std::move(answer));
    }
    return answers;
}

} // namespace orva::sim
